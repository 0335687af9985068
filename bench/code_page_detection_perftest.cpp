// The cost of reading an 8-bit cue text, which the lookup pays once per
// sheet, at its first lookup, beside the cost of the detector alone on the
// same bytes: the whole choice (UTF-8 and UTF-16 ruled out, the sample, the
// detector, the readings, the decoding of the whole text) may take at most
// twice the detector's own time. Texts of 2 KB (an album), 64 KB (a box set),
// 1 MB (about 11,000 tracks) and 4 MiB (the most the lookup reads):
//   Windows1251  a Russian sheet, every title beyond ASCII;
//   Windows1252  a German and French one, a few letters beyond ASCII;
//   OneByte      ASCII but for one byte of code page 1252 in its last title.
// All are read on a system whose ANSI code page is 1252.
#include <benchmark/benchmark.h>

#include <string>

#include "sources/side_cue_file.h"
#include "text/code_page_detection.h"

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
constexpr const char* kAsciiTitles[] = {"So What", "Blue in Green", "All Blues", "Flamenco Sketches"};

enum class Kind { kWindows1251, kWindows1252, kOneByte };

std::string Sheet(Kind kind, size_t size) {
  const char* const* titles = kind == Kind::kWindows1251   ? kCyrillicTitles
                              : kind == Kind::kWindows1252 ? kWesternTitles
                                                           : kAsciiTitles;
  const char* performer = kind == Kind::kWindows1251   ? "\xCA\xE8\xED\xEE"
                          : kind == Kind::kWindows1252 ? "Die \xC4rzte"
                                                       : "Miles Davis";
  std::string text = std::string("REM GENRE Rock\r\nREM DATE 1988\r\nREM DISCID 8C0B4E0A\r\nPERFORMER \"") + performer +
                     "\"\r\nTITLE \"" + titles[0] + "\"\r\nFILE \"CDImage.ape\" WAVE\r\n";
  const std::string last = "  TRACK 99 AUDIO\r\n    TITLE \"Caf\xE9\"\r\n    INDEX 01 00:00:00\r\n";
  for (int track = 1; text.size() + (kind == Kind::kOneByte ? last.size() : 0) < size; ++track) {
    text += "  TRACK " + std::to_string(track) + " AUDIO\r\n    TITLE \"" + titles[track % 4] +
            "\"\r\n    PERFORMER \"" + performer + "\"\r\n    INDEX 01 " + std::to_string(track * 4 % 60) +
            ":00:00\r\n";
  }
  if (kind == Kind::kOneByte) text += last;
  return text;
}

void BM_ChooseCodePage(benchmark::State& state, Kind kind) {
  const std::string sheet = Sheet(kind, static_cast<size_t>(state.range(0)));
  SideCueDecoding decoding;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeSideCueText(sheet.data(), sheet.size(), 1252, &decoding));
  }
  state.counters["bytes"] = static_cast<double>(sheet.size());
  state.counters["code_page"] = decoding.codePage.codePage;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sheet.size()));
}

void BM_UchardetAlone(benchmark::State& state, Kind kind) {
  const std::string sheet = Sheet(kind, static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(DetectCharset(sheet));
  }
  state.counters["bytes"] = static_cast<double>(sheet.size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sheet.size()));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(2 << 10)->Arg(64 << 10)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_ChooseCodePage, Windows1251, Kind::kWindows1251)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_UchardetAlone, Windows1251, Kind::kWindows1251)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ChooseCodePage, Windows1252, Kind::kWindows1252)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_UchardetAlone, Windows1252, Kind::kWindows1252)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_ChooseCodePage, OneByte, Kind::kOneByte)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_UchardetAlone, OneByte, Kind::kOneByte)->Apply(Sizes);

}  // namespace
