// What one lookup of an APEv2 cue sheet costs, before and after the walk that
// reads only the item headers and the CUESHEET value:
//   BM_WholeTag  CAPETagParser: the whole items region read in one piece,
//                every item decoded, then the CUESHEET item
//   BM_CueWalk   ReadAPEv2Cue
// each on a WavPack file with a cue sheet (wavpack), on 30 MB of cover art
// without a cue sheet and before one (mutagen), and, for the walk only, on a
// footer that declares 0x90000000 bytes of tag in a sparse file of 2.25 GiB.
// The counters give the bytes and the reads per lookup, from /proc/self/io.
// The files come from tests/integration/make_bad_inputs.py at start-up.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tags/ape_tag_parser.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path made = fs::temp_directory_path() / "sheetwalk_ape_cue_perftest";
    const std::string command = std::string("/usr/bin/python3 '") + SHEETWALK_SOURCE_DIR +
                                "/tests/integration/make_bad_inputs.py' '" + made.string() + "'";
    return std::system(command.c_str()) == 0 ? made : fs::path();
  }();
  return folder;
}

// Bytes and read calls of this process so far.
struct IoCounts {
  double bytes = 0;
  double reads = 0;
};

IoCounts ReadIoCounts() {
  IoCounts counts;
  std::ifstream io("/proc/self/io");
  std::string name;
  double value = 0;
  while (io >> name >> value) {
    if (name == "rchar:") counts.bytes = value;
    if (name == "syscr:") counts.reads = value;
  }
  return counts;
}

template <typename Lookup>
void Measure(benchmark::State& state, const char* file, Lookup lookup) {
  if (Folder().empty()) {
    state.SkipWithError("make_bad_inputs.py failed");
    return;
  }
  const std::string name = (Folder() / file).string();
  const std::u16string path(name.begin(), name.end());
  const IoCounts before = ReadIoCounts();
  for (auto _ : state) {
    std::u16string text;
    lookup(path.c_str(), text);
    benchmark::DoNotOptimize(text.data());
  }
  const IoCounts after = ReadIoCounts();
  const double lookups = static_cast<double>(state.iterations());
  state.counters["bytes_read"] = (after.bytes - before.bytes) / lookups;
  state.counters["reads"] = (after.reads - before.reads) / lookups;
}

void BM_WholeTag(benchmark::State& state, const char* file) {
  Measure(state, file, [](const char16_t* path, std::u16string& text) {
    CAPETagParser parser;
    return parser.Parse(path) && parser.GetItem(u"CUESHEET", text);
  });
}

void BM_CueWalk(benchmark::State& state, const char* file) {
  Measure(state, file, [](const char16_t* path, std::u16string& text) {
    return ReadAPEv2Cue(path, text).status == APECueStatus::kFound;
  });
}

BENCHMARK_CAPTURE(BM_WholeTag, wavpack_cue, "good.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CueWalk, wavpack_cue, "good.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WholeTag, cover_30mb, "ape_cover_30mb.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CueWalk, cover_30mb, "ape_cover_30mb.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WholeTag, cover_30mb_then_cue, "ape_cover_30mb_then_cue.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CueWalk, cover_30mb_then_cue, "ape_cover_30mb_then_cue.wv")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CueWalk, forged_tag_size, "ape_tag_size_2_25GiB.wv")->Unit(benchmark::kMicrosecond);

}  // namespace
