#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "cuesheet/cue_sheet.h"
#include "tests/support/counting_allocator.h"

using counting_allocator::allocations;

namespace {

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

std::u16string Time(int64_t frames) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", static_cast<long long>(frames / 75 / 60),
                static_cast<long long>(frames / 75 % 60), static_cast<long long>(frames % 75));
  return Ascii(buffer);
}

// An album as a ripper writes it: REM header, CR LF, quoted values, ISRC and
// pre-gaps, about 3 minutes 20 seconds a track.
std::u16string RippedSheet(int tracks, const char* lineEnd) {
  const std::u16string end = Ascii(lineEnd);
  std::u16string text = u"REM GENRE \"Classical\"" + end + u"REM DATE 1981" + end +
                        u"REM DISCID 9A0B7C63" + end + u"REM COMMENT \"ExactAudioCopy v1.6\"" + end +
                        u"PERFORMER \"Orchestre de la Suisse Romande\"" + end +
                        u"TITLE \"Préludes et Études, Intégrale\"" + end +
                        u"FILE \"Préludes et Études.flac\" WAVE" + end;
  int64_t frames = 0;
  for (int i = 1; i <= tracks; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", i % 100);
    text += u"  TRACK " + Ascii(number) + u" AUDIO" + end;
    text += u"    TITLE \"Étude No. " + Ascii(number) + u" en ré mineur, Allegro con brio\"" + end;
    text += u"    PERFORMER \"Orchestre de la Suisse Romande\"" + end;
    text += u"    ISRC FRZ039800" + Ascii(number) + u"1" + end;
    if (i > 1) {
      text += u"    INDEX 00 " + Time(frames - 150) + end;
    }
    text += u"    INDEX 01 " + Time(frames) + end;
    frames += 200 * 75 + (i * 37) % 75;
  }
  return text;
}

void SetThroughput(benchmark::State& state, const std::u16string& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size() * sizeof(char16_t)));
  state.counters["text_KiB"] = static_cast<double>(text.size() * sizeof(char16_t)) / 1024;
}

void BM_ParseRealistic99Tracks(benchmark::State& state) {
  const std::u16string text = RippedSheet(99, "\r\n");
  for (auto _ : state) {
    CueSheet sheet;
    benchmark::DoNotOptimize(sheet.Parse(text));
    benchmark::DoNotOptimize(sheet.tracks.size());
  }
  SetThroughput(state, text);
}
BENCHMARK(BM_ParseRealistic99Tracks);

// Ten thousand tracks, far past 99 minutes: an extreme text for the
// parser, about 3.8 MB of UTF-16.
void BM_ParseLargeSynthetic(benchmark::State& state) {
  const std::u16string text = RippedSheet(10000, "\n");
  for (auto _ : state) {
    CueSheet sheet;
    benchmark::DoNotOptimize(sheet.Parse(text));
    benchmark::DoNotOptimize(sheet.tracks.size());
  }
  SetThroughput(state, text);
}
BENCHMARK(BM_ParseLargeSynthetic)->Unit(benchmark::kMillisecond);

// What the timer tick and every title request ask: the track under the
// playing position, over the whole album.
template <bool (CueSheet::*Query)(int32_t, int32_t&, const CueTrack*&) const>
void BM_Query99Tracks(benchmark::State& state) {
  CueSheet sheet;
  if (!sheet.Parse(RippedSheet(99, "\r\n"))) {
    state.SkipWithError("the benchmark sheet does not parse");
    return;
  }
  const int32_t length = sheet.tracks.rbegin()->first + 200000;
  int32_t position = 0;
  int32_t start = 0;
  const CueTrack* track = nullptr;
  const long before = allocations.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize((sheet.*Query)(position, start, track));
    benchmark::DoNotOptimize(track);
    position += 7919;
    if (position > length) {
      position -= length;
    }
  }
  state.counters["allocations"] = static_cast<double>(allocations.load() - before);
}
BENCHMARK(BM_Query99Tracks<&CueSheet::FindCurrentTrack>)->Name("BM_FindCurrentTrack99Tracks");
BENCHMARK(BM_Query99Tracks<&CueSheet::FindNextTrack>)->Name("BM_FindNextTrack99Tracks");

}  // namespace
