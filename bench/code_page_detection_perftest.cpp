// The cost of choosing the code page of an 8-bit cue sheet, which the lookup
// pays once per sheet, at its first lookup: a sheet of about 2 KB (an album)
// and one of about 64 KB (a long box set), in Windows-1251 and in
// Windows-1252, read on a system whose ANSI code page is 1252.
#include <benchmark/benchmark.h>

#include <string>

#include "tags/code_page_detection.h"

namespace {

// Titles as a Russian and a German ripper's Windows wrote them.
constexpr const char* kCyrillicTitles[] = {
    "\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8",               // Группа крови
    "\xC7\xE0\xEA\xF0\xEE\xE9 \xE7\xE0 \xEC\xED\xEE\xE9 \xE4\xE2\xE5\xF0\xFC",  // Закрой за мной дверь
    "\xC2\xEE\xE9\xED\xE0",                                          // Война
    "\xD1\xEF\xEE\xEA\xEE\xE9\xED\xE0\xFF \xED\xEE\xF7\xFC",         // Спокойная ночь
};
constexpr const char* kWesternTitles[] = {
    "Schrei nach Liebe", "\xDC" "ber ihr Leben", "K\xFC" "ss mich (Fellfrosch)", "La Valse \xE0 mille temps",
};

std::string Sheet(const char* const (&titles)[4], const char* performer, size_t size) {
  std::string text = std::string("REM GENRE Rock\r\nREM DATE 1988\r\nREM DISCID 8C0B4E0A\r\nPERFORMER \"") + performer +
                     "\"\r\nTITLE \"" + titles[0] + "\"\r\nFILE \"CDImage.ape\" WAVE\r\n";
  for (int track = 1; text.size() < size; ++track) {
    text += "  TRACK " + std::to_string(track) + " AUDIO\r\n    TITLE \"" + titles[track % 4] +
            "\"\r\n    PERFORMER \"" + performer + "\"\r\n    INDEX 01 " + std::to_string(track * 4 % 60) +
            ":00:00\r\n";
  }
  return text;
}

void BM_ChooseCodePage(benchmark::State& state, bool cyrillic) {
  const std::string sheet = cyrillic ? Sheet(kCyrillicTitles, "\xCA\xE8\xED\xEE", state.range(0))
                                     : Sheet(kWesternTitles, "Die \xC4rzte", state.range(0));
  CodePageChoice choice;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeLegacyText(sheet, 1252, choice));
  }
  state.counters["bytes"] = static_cast<double>(sheet.size());
  state.counters["code_page"] = choice.codePage;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sheet.size()));
}

BENCHMARK_CAPTURE(BM_ChooseCodePage, Windows1251, true)->Arg(2 << 10)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChooseCodePage, Windows1252, false)->Arg(2 << 10)->Arg(64 << 10)->Unit(benchmark::kMicrosecond);

}  // namespace
