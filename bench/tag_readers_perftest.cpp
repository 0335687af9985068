// Reading the CUESHEET item of a real WavPack file (APEv2 tag) and of a real
// FLAC file: the plug-in's readers next to TagLib reading the same item from
// the same file in the same run. The files are written at start-up by
// tests/data/make_tag_files.py (wavpack, flac and metaflac).
#include <benchmark/benchmark.h>

#include <taglib/apetag.h>
#include <taglib/flacfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tags/ape_tag_parser.h"
#include "tags/flac_tag_parser.h"

namespace {

struct TagFiles {
  std::string wavPack;
  std::string flac;
  std::u16string wavPackWide;
  std::u16string flacWide;
  bool ready = false;
};

std::u16string Widen(const std::string& asciiPath) { return {asciiPath.begin(), asciiPath.end()}; }

const TagFiles& Files() {
  static const TagFiles files = [] {
    TagFiles made;
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "sheetwalk_tag_readers_perftest";
    const std::string command = std::string("/usr/bin/python3 '") + SHEETWALK_SOURCE_DIR +
                                "/tests/data/make_tag_files.py' '" + folder.string() + "'";
    if (std::system(command.c_str()) != 0) {
      return made;
    }
    made.wavPack = (folder / "wavpack" / "album.wv").string();
    made.flac = (folder / "flac" / "album.flac").string();
    made.wavPackWide = Widen(made.wavPack);
    made.flacWide = Widen(made.flac);
    made.ready = true;
    return made;
  }();
  return files;
}

bool Ready(benchmark::State& state) {
  if (!Files().ready) {
    state.SkipWithError("make_tag_files.py failed");
    return false;
  }
  return true;
}

void BM_SheetwalkAPE(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    CAPETagParser parser;
    std::u16string text;
    if (!parser.Parse(Files().wavPackWide.c_str()) || !parser.GetItem(u"CUESHEET", text)) {
      state.SkipWithError("no CUESHEET item");
      return;
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_SheetwalkAPE);

void BM_TagLibAPE(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    TagLib::WavPack::File file(Files().wavPack.c_str(), false);
    TagLib::APE::Tag* tag = file.APETag();
    if (tag == nullptr || !tag->itemListMap().contains("CUESHEET")) {
      state.SkipWithError("no CUESHEET item");
      return;
    }
    const TagLib::String text = tag->itemListMap()["CUESHEET"].toString();
    benchmark::DoNotOptimize(text.size());
  }
}
BENCHMARK(BM_TagLibAPE);

void BM_SheetwalkFLAC(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    CFLACTagParser parser;
    std::u16string text;
    if (!parser.Parse(Files().flacWide.c_str()) || !parser.GetItem(u"CUESHEET", text)) {
      state.SkipWithError("no CUESHEET comment");
      return;
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_SheetwalkFLAC);

void BM_TagLibFLAC(benchmark::State& state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    TagLib::FLAC::File file(Files().flac.c_str(), false);
    TagLib::Ogg::XiphComment* comments = file.xiphComment();
    if (comments == nullptr || !comments->fieldListMap().contains("CUESHEET")) {
      state.SkipWithError("no CUESHEET comment");
      return;
    }
    const TagLib::String text = comments->fieldListMap()["CUESHEET"].front();
    benchmark::DoNotOptimize(text.size());
  }
}
BENCHMARK(BM_TagLibFLAC);

}  // namespace
