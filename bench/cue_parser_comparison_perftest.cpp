// The cue sheet parser next to libcue, in one run, on the same sheets.
//
// A cue sheet reaches the plug-in as UTF-8 bytes (a tag value or a .cue file)
// and libcue takes UTF-8 too, so the fair comparison starts from the same
// bytes and ends with a sheet that can be asked for its tracks:
//   BM_FromBytes_Sheetwalk  ToWideString (UTF-8 to UTF-16, as the readers do) + CueSheet::Parse
//   BM_FromBytes_libcue     cue_parse_string
// BM_ParseOnly_Sheetwalk leaves the conversion out (the text already UTF-16),
// to show what the parser alone costs. Each iteration also destroys its
// result, in both libraries. libcue keeps more of the sheet than the plug-in
// needs (every CD-TEXT field, REM values, files, all indexes): that is its
// cost of generality, and part of what is compared.
//
// Before timing, each sheet is parsed by both and the track starts, titles
// and performers must agree, so both read the same thing.
#include <benchmark/benchmark.h>

extern "C" {
#include <libcue.h>
}

#include <string>
#include <vector>

#include "bench/realistic_cue_sheets.h"
#include "cuesheet/cue_sheet.h"
#include "text/text_conversion.h"

namespace {

std::u16string Wide(const std::string& utf8) {
  return ToWideString(utf8, platform::CodePage::kUtf8);
}

std::u16string CdText(Cdtext* cdtext, Pti field) {
  const char* value = cdtext != nullptr ? cdtext_get(field, cdtext) : nullptr;
  return value != nullptr ? Wide(value) : std::u16string();
}

// Empty when both parsers read the same tracks; otherwise what differs.
std::string Disagreement(const std::string& utf8) {
  CueSheet ours;
  if (!ours.Parse(Wide(utf8))) return "Sheetwalk does not read the whole sheet";
  Cd* cd = cue_parse_string(utf8.c_str());
  if (cd == nullptr) return "libcue rejects the sheet";
  std::string problem;
  if (static_cast<size_t>(cd_get_ntrack(cd)) != ours.tracks.size()) {
    problem = "track counts differ: libcue " + std::to_string(cd_get_ntrack(cd)) + ", Sheetwalk " +
              std::to_string(ours.tracks.size());
  } else if (CdText(cd_get_cdtext(cd), PTI_TITLE) != ours.albumTitle) {
    problem = "album titles differ";
  } else {
    int n = 1;
    for (const auto& [start, track] : ours.tracks) {
      Track* theirs = cd_get_track(cd, n);
      const long frames = track_get_start(theirs);
      const long ms = frames / 75 * 1000 + frames % 75 * 1000 / 75;
      if (ms != start) problem = "start of track " + std::to_string(n) + " differs";
      if (CdText(track_get_cdtext(theirs), PTI_TITLE) != track.title) problem = "title of track " + std::to_string(n);
      if (CdText(track_get_cdtext(theirs), PTI_PERFORMER) != track.performer) {
        problem = "performer of track " + std::to_string(n);
      }
      if (!problem.empty()) break;
      ++n;
    }
  }
  cd_delete(cd);
  return problem;
}

void Count(benchmark::State& state, const std::string& utf8) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(utf8.size()));
  state.counters["utf8_KiB"] = static_cast<double>(utf8.size()) / 1024;
}

void FromBytesSheetwalk(benchmark::State& state, const std::string& utf8) {
  if (const std::string problem = Disagreement(utf8); !problem.empty()) {
    state.SkipWithError(problem.c_str());
    return;
  }
  for (auto _ : state) {
    CueSheet sheet;
    const std::u16string text = ToWideString(utf8, platform::CodePage::kUtf8);
    benchmark::DoNotOptimize(sheet.Parse(text));
    benchmark::DoNotOptimize(sheet.tracks.size());
  }
  Count(state, utf8);
}

void ParseOnlySheetwalk(benchmark::State& state, const std::string& utf8) {
  const std::u16string text = Wide(utf8);
  for (auto _ : state) {
    CueSheet sheet;
    benchmark::DoNotOptimize(sheet.Parse(text));
    benchmark::DoNotOptimize(sheet.tracks.size());
  }
  Count(state, utf8);
}

void FromBytesLibcue(benchmark::State& state, const std::string& utf8) {
  if (const std::string problem = Disagreement(utf8); !problem.empty()) {
    state.SkipWithError(problem.c_str());
    return;
  }
  for (auto _ : state) {
    Cd* cd = cue_parse_string(utf8.c_str());
    benchmark::DoNotOptimize(cd_get_ntrack(cd));
    cd_delete(cd);
  }
  Count(state, utf8);
}

const bool registered = [] {
  std::vector<bench_sheets::NamedSheet> sheets = bench_sheets::RealisticSheets();
  sheets.push_back({"large_99_1MB", bench_sheets::Large99TracksWithRemarks()});
  for (const bench_sheets::NamedSheet& sheet : sheets) {
    benchmark::RegisterBenchmark(("BM_FromBytes_Sheetwalk/" + sheet.name).c_str(), FromBytesSheetwalk, sheet.text);
    benchmark::RegisterBenchmark(("BM_FromBytes_libcue/" + sheet.name).c_str(), FromBytesLibcue, sheet.text);
    benchmark::RegisterBenchmark(("BM_ParseOnly_Sheetwalk/" + sheet.name).c_str(), ParseOnlySheetwalk, sheet.text);
  }
  return true;
}();

}  // namespace
