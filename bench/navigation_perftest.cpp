// What the plug-in's timer tick costs, and what a cached sheet keeps.
//
// The tick (every 200 ms while the plug-in is loaded) asks the player for the
// playing file and the position, which costs what the player's messages cost
// and is not measured here; the rest is the plug-in's own work, measured:
//   BM_TimerTick_CachedSheet  the cache hit on the playing file's path, the
//                             track under the position + 1 s, and the
//                             comparison with the last track seen; with the
//                             99-track sheet among 1 or 1,000 cached albums
//   BM_TimerTick_NoCueSheet   the whole search for a file that has no cue sheet
//                             anywhere, which every tick repeats: the APEv2
//                             reader, libFLAC (dlopen'ed as the plug-in loads
//                             libFLAC.dll) and the attempt to open the .cue;
//                             on several kinds of audio file, since the cost
//                             depends on what the file holds
//   BM_TickPart_*             the three parts of the cached tick on their own
//   BM_TitleTags_CachedSheet  one title of all eleven tags for the playing
//                             file, as the player's own lookup (3027) and a
//                             title-format request (298) get it: each tag's
//                             name, the cache hit, the track under the
//                             position, the answer, copied into the player's
//                             buffer
//   BM_BytesHeldPerCachedSheet  the heap that one looked-up sheet keeps in
//                             the cache, against its UTF-16 text
//   BM_FirstLookup            the first lookup of a file (what the plug-in's
//                             worker does when a file starts to play): its
//                             calls to storage, and its wall time with each
//                             call taking the given milliseconds more, as on
//                             a slow share
// The audio files come from wavpack and flac at start-up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <chrono>
#include <thread>

#include "bench/realistic_cue_sheets.h"
#include "navigation/cue_sheet_cache.h"
#include "navigation/navigator.h"
#include "platform/storage_call.h"
#include "tests/support/counting_allocator.h"
#include "text/text_conversion.h"

using counting_allocator::allocations, counting_allocator::liveBlocks, counting_allocator::liveBytes,
    counting_allocator::liveChunkBytes;

namespace {

namespace fs = std::filesystem;

constexpr int kLibrary = 999;  // other albums in the cache beside the 99-track one

struct Files {
  fs::path folder;
  std::string album99;     // WavPack, APEv2 CUESHEET of 99 tracks
  std::string album12;     // WavPack, APEv2 CUESHEET of 12 tracks
  std::string noCueWav;    // no tags, no .cue beside it: 1 s of silence
  std::string noCueWavSilence60s;  // the same, 60 s of silence (10 MB)
  std::string noCueWavNoise60s;    // the same, 60 s of noise (10 MB)
  std::string noCueFlac;   // FLAC comments without CUESHEET
  std::string noCueFlacCover;  // the same with 1 MB of cover art after the comments
  std::string noCueWavPack;  // APEv2 tag without CUESHEET
  bool ready = false;

  std::string LibraryAlbum(int i) const {
    char name[64];
    std::snprintf(name, sizeof name, "Artist %04d - Album %04d (1999).wv", i, i);
    return (folder / "library" / name).string();
  }
};

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

const Files& TestFiles() {
  static const Files files = [] {
    Files made;
    made.folder = fs::temp_directory_path() / "sheetwalk_navigation_perftest";
    fs::remove_all(made.folder);
    fs::create_directories(made.folder / "library");
    std::string dir = made.folder.string();
    dir.insert(dir.begin(), '\'');
    dir += '\'';
    std::ofstream(made.folder / "classical_99.cue", std::ios::binary) << bench_sheets::Classical99Tracks();
    std::ofstream(made.folder / "jazz_12.cue", std::ios::binary) << bench_sheets::JazzAlbum12Tracks();
    made.album99 = (made.folder / "library" / "Orchestre de la Suisse Romande - Etudes (1981).wv").string();
    made.album12 = (made.folder / "jazz_12.wv").string();
    made.noCueWav = (made.folder / "nocue.wav").string();
    made.noCueWavSilence60s = (made.folder / "silence60.wav").string();
    made.noCueWavNoise60s = (made.folder / "noise60.wav").string();
    made.noCueFlac = (made.folder / "nocue.flac").string();
    made.noCueFlacCover = (made.folder / "nocue_cover.flac").string();
    made.noCueWavPack = (made.folder / "nocue.wv").string();
    const bool ok =
        Run("cd " + dir + " && /usr/bin/python3 -c 'import os, wave\n"
            "for name, frames in ((\"nocue.wav\", bytes(4 * 44100)), (\"silence60.wav\", bytes(240 * 44100)),\n"
            "                     (\"noise60.wav\", os.urandom(240 * 44100))):\n"
            "    w = wave.open(name, \"wb\"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)\n"
            "    w.writeframes(frames); w.close()'") &&
        Run("cd " + dir + " && wavpack -q -y -w Cuesheet=@classical_99.cue nocue.wav -o '" + made.album99 + "'") &&
        Run("cd " + dir + " && wavpack -q -y -w Cuesheet=@jazz_12.cue nocue.wav -o jazz_12.wv") &&
        Run("cd " + dir + " && wavpack -q -y -w 'Title=No cue sheet' nocue.wav -o nocue.wv") &&
        Run("cd " + dir + " && flac -s -f -T 'TITLE=No cue sheet' nocue.wav -o nocue.flac") &&
        Run("cd " + dir + " && head -c 1048576 /dev/urandom > cover.jpg && cp nocue.flac nocue_cover.flac && "
            "metaflac '--import-picture-from=3|image/jpeg|Cover|600x600x24|cover.jpg' nocue_cover.flac") &&
        Run("cd " + dir + " && rm -f *.cue");
    if (!ok) return made;
    // The other albums: hard links, each a path of its own to the cache.
    for (int i = 1; i <= kLibrary; ++i) {
      std::error_code error;
      fs::create_hard_link(made.album12, made.LibraryAlbum(i), error);
      if (error) return made;
    }
    made.ready = true;
    return made;
  }();
  return files;
}

std::u16string Wide(const std::string& utf8) {
  return ToWideString(utf8, platform::CodePage::kUtf8);
}

bool Ready(benchmark::State& state) {
  if (!TestFiles().ready) state.SkipWithError("wavpack, flac or python3 failed to write the test files");
  return TestFiles().ready;
}

// The cache with the 99-track album among `albums` albums in all.
const CueSheet* LoadLibrary(benchmark::State& state, CueSheetCache& cache, int albums, std::u16string& path) {
  if (!Ready(state)) return nullptr;
  for (int i = 1; i < albums; ++i) {
    if (cache.GetCueSheet(Wide(TestFiles().LibraryAlbum(i)).c_str()) == nullptr) {
      state.SkipWithError("a library album has no cue sheet");
      return nullptr;
    }
  }
  path = Wide(TestFiles().album99);
  const CueSheet* sheet = cache.GetCueSheet(path.c_str());
  if (sheet == nullptr || sheet->tracks.size() != 99) {
    state.SkipWithError("the 99-track album did not read");
    return nullptr;
  }
  return sheet;
}

// The next tick's position: through the whole album, 200 ms a tick, and
// round again.
int32_t NextTick(const CueSheet& sheet, int32_t position) {
  return position + 200 > sheet.tracks.rbegin()->first + 200000 ? 0 : position + 200;
}

void CountAllocations(benchmark::State& state, long before) {
  state.counters["allocations_per_tick"] =
      benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}

void BM_TimerTick_CachedSheet(benchmark::State& state) {
  CueSheetCache cache;
  std::u16string path;
  const CueSheet* sheet = LoadLibrary(state, cache, static_cast<int>(state.range(0)), path);
  if (sheet == nullptr) return;
  int32_t position = 0;
  const CueTrack* lastTrack = nullptr;
  long refreshes = 0;
  const long before = allocations.load();
  for (auto _ : state) {
    const CueSheet* hit = cache.GetCueSheet(path.c_str());
    int32_t start = 0;
    const CueTrack* current = nullptr;
    if (hit->FindTrackBefore(position, 1000, start, current) && !(lastTrack != nullptr && *lastTrack == *current)) {
      lastTrack = current;
      ++refreshes;
    }
    benchmark::DoNotOptimize(lastTrack);
    position = NextTick(*sheet, position);
  }
  CountAllocations(state, before);
  state.counters["cached_albums"] = static_cast<double>(cache.size());
  benchmark::DoNotOptimize(refreshes);
}
BENCHMARK(BM_TimerTick_CachedSheet)->Arg(1)->Arg(kLibrary + 1);

// The tick's three parts on their own, to see where its time goes.
void BM_TickPart_CacheHit(benchmark::State& state) {
  CueSheetCache cache;
  std::u16string path;
  if (LoadLibrary(state, cache, static_cast<int>(state.range(0)), path) == nullptr) return;
  const long before = allocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str()));
  CountAllocations(state, before);
}
BENCHMARK(BM_TickPart_CacheHit)->Arg(1)->Arg(kLibrary + 1);

void BM_TickPart_FindTrackBefore(benchmark::State& state) {
  CueSheetCache cache;
  std::u16string path;
  const CueSheet* sheet = LoadLibrary(state, cache, 1, path);
  if (sheet == nullptr) return;
  int32_t position = 0;
  for (auto _ : state) {
    int32_t start = 0;
    const CueTrack* current = nullptr;
    benchmark::DoNotOptimize(sheet->FindTrackBefore(position, 1000, start, current));
    benchmark::DoNotOptimize(current);
    position = NextTick(*sheet, position);
  }
}
BENCHMARK(BM_TickPart_FindTrackBefore);

// Between two refreshes the last track seen is the current one: the value
// comparison then runs over every string of the track to the end.
void BM_TickPart_SameTrackComparison(benchmark::State& state) {
  CueSheetCache cache;
  std::u16string path;
  const CueSheet* sheet = LoadLibrary(state, cache, 1, path);
  if (sheet == nullptr) return;
  const CueTrack* track = &std::next(sheet->tracks.begin(), 50)->second;
  const CueTrack* last = track;
  for (auto _ : state) {
    benchmark::DoNotOptimize(last);
    benchmark::DoNotOptimize(*last == *track);
  }
}
BENCHMARK(BM_TickPart_SameTrackComparison);

// What the plug-in does for each tag of a title: numbers go into a buffer
// reserved once, text is copied into the player's buffer. Nothing more may be
// allocated for a cached sheet.
void BM_TitleTags_CachedSheet(benchmark::State& state) {
  CueSheetCache cache;
  std::u16string path;
  const CueSheet* sheet = LoadLibrary(state, cache, static_cast<int>(state.range(0)), path);
  if (sheet == nullptr) return;
  int32_t position = 0;
  std::u16string numberText;
  numberText.reserve(16);
  char16_t ret[1024];
  const long before = allocations.load();
  for (auto _ : state) {
    for (const TitleTagName& name : TitleTagNames()) {
      const TitleTag tag = FindTitleTag(name.name);
      const CueSheet* hit = cache.GetCueSheet(path.c_str());
      const CueTrack* track = FindPlayingTrack(*hit, position);
      if (track == nullptr) continue;
      const TitleTagAnswer answer = AnswerTitleTag(tag, *hit, *track);
      std::u16string_view value;
      if (answer.kind == TitleTagAnswer::Kind::kNumber) {
        char digits[16];
        char* end = std::to_chars(digits, digits + sizeof digits, answer.number).ptr;
        numberText.assign(digits, end);
        value = numberText;
      } else if (answer.kind == TitleTagAnswer::Kind::kText) {
        value = *answer.text;
      }
      const size_t copied = std::min(value.size(), std::size(ret) - 1);
      std::copy_n(value.data(), copied, ret);
      ret[copied] = u'\0';
      benchmark::DoNotOptimize(ret);
    }
    position = NextTick(*sheet, position);
  }
  state.counters["allocations_per_title"] =
      benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_TitleTags_CachedSheet)->Arg(1)->Arg(kLibrary + 1);

void BM_TimerTick_NoCueSheet(benchmark::State& state, std::string Files::*file) {
  if (!Ready(state)) return;
  CueSheetCache cache;
  const std::u16string path = Wide(TestFiles().*file);
  if (cache.GetCueSheet(path.c_str()) != nullptr) {
    state.SkipWithError("the file has a cue sheet");
    return;
  }
  const long before = allocations.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str()));
  }
  state.counters["allocations_per_tick"] =
      benchmark::Counter(static_cast<double>(allocations.load() - before), benchmark::Counter::kAvgIterations);
}
// libFLAC is asked for the tags of every file. On a file that is not FLAC it
// looks for the stream's signature or a frame sync code byte by byte, so its
// cost depends on the audio: noise holds a sync-like pair within a few bytes,
// digital silence none at all, and then the whole file is read.
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, wav_1s_silence_without_tags, &Files::noCueWav);
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, wav_60s_silence_without_tags, &Files::noCueWavSilence60s)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, wav_60s_noise_without_tags, &Files::noCueWavNoise60s);
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, flac_without_cuesheet, &Files::noCueFlac);
// libFLAC reads every metadata block up to the audio, the pictures too.
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, flac_1MB_cover_without_cuesheet, &Files::noCueFlacCover);
BENCHMARK_CAPTURE(BM_TimerTick_NoCueSheet, wavpack_apev2_without_cuesheet, &Files::noCueWavPack);

// Heap bytes of the strings of a sheet that live outside the string objects,
// and the part of them beyond the text (capacity not used).
struct StringHeap {
  long bytes = 0;
  long slack = 0;
  void Add(const std::u16string& s) {
    if (s.capacity() <= 7) return;  // held inside the string object
    bytes += static_cast<long>((s.capacity() + 1) * sizeof(char16_t));
    slack += static_cast<long>((s.capacity() - s.size()) * sizeof(char16_t));
  }
};

// One lookup that inserts and parses a sheet: what stays allocated after it
// is the sheet's cost for the rest of the plug-in's life. Counted are the
// bytes asked for; with_malloc_overhead adds what glibc's allocator takes on
// top on 64-bit (8 bytes a block, blocks rounded up to 16 bytes).
void BM_BytesHeldPerCachedSheet(benchmark::State& state, std::string Files::*file, std::string (*sheetText)()) {
  if (!Ready(state)) return;
  const std::u16string path = Wide(TestFiles().*file);
  const double textBytes = static_cast<double>(Wide(sheetText()).size() * sizeof(char16_t));
  long held = 0;
  long blocks = 0;
  long withOverhead = 0;
  StringHeap strings;
  size_t tracks = 0;
  for (auto _ : state) {
    CueSheetCache cache;
    const long bytesBefore = liveBytes.load();
    const long blocksBefore = liveBlocks.load();
    const long chunksBefore = liveChunkBytes.load();
    const CueSheet* sheet = cache.GetCueSheet(path.c_str());
    held = liveBytes.load() - bytesBefore;
    blocks = liveBlocks.load() - blocksBefore;
    withOverhead = liveChunkBytes.load() - chunksBefore;
    if (sheet == nullptr) {
      state.SkipWithError("no cue sheet");
      return;
    }
    strings = {};
    strings.Add(sheet->albumTitle);
    strings.Add(sheet->albumPerformer);
    for (const auto& [start, track] : sheet->tracks) {
      strings.Add(track.title);
      strings.Add(track.performer);
    }
    tracks = sheet->tracks.size();
  }
  state.counters["tracks"] = static_cast<double>(tracks);
  state.counters["text_utf16_bytes"] = textBytes;
  state.counters["held_bytes"] = static_cast<double>(held);
  state.counters["held_blocks"] = static_cast<double>(blocks);
  state.counters["with_malloc_overhead"] = static_cast<double>(withOverhead);
  state.counters["held_per_text"] = static_cast<double>(held) / textBytes;
  state.counters["string_heap_bytes"] = static_cast<double>(strings.bytes);
  state.counters["string_slack_bytes"] = static_cast<double>(strings.slack);
}
BENCHMARK_CAPTURE(BM_BytesHeldPerCachedSheet, 12_tracks, &Files::album12, &bench_sheets::JazzAlbum12Tracks)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_BytesHeldPerCachedSheet, 99_tracks, &Files::album99, &bench_sheets::Classical99Tracks)
    ->Iterations(1);

// The three layouts of a first lookup: a side cue file, a FLAC CUESHEET
// comment, and a cue file named otherwise among 12 of other discs.
struct FirstLookupFiles {
  std::string sideCueWav, commentFlac, namedOtherwiseWav;
  bool ready = false;
};

const FirstLookupFiles& FirstLookupTestFiles() {
  static const FirstLookupFiles files = [] {
    FirstLookupFiles made;
    const fs::path folder = fs::temp_directory_path() / "sheetwalk_first_lookup";
    fs::remove_all(folder);
    fs::create_directories(folder / "side");
    fs::create_directories(folder / "flac");
    fs::create_directories(folder / "folder");
    const std::string sheet = bench_sheets::JazzAlbum12Tracks();
    std::ofstream(folder / "side" / "album.cue", std::ios::binary) << sheet;
    std::ofstream(folder / "flac" / "sheet.txt", std::ios::binary) << sheet;
    const auto naming = [&sheet](const std::string& audio) {
      const std::string named = "Miles Davis - Kind of Blue.flac";
      std::string text = sheet;
      return text.replace(text.find(named), named.size(), audio);
    };
    for (int i = 1; i <= 12; ++i) {
      std::ofstream(folder / "folder" / ("Disc " + std::to_string(i) + ".cue"), std::ios::binary)
          << naming("disc" + std::to_string(i) + ".wav");
    }
    std::ofstream(folder / "folder" / "Zz Album.cue", std::ios::binary) << naming("image.wav");
    const std::string dir = "'" + folder.string() + "'";
    made.ready = Run("cd " + dir + " && cp '" + TestFiles().noCueWav + "' side/album.wav && cp side/album.wav folder/image.wav") &&
                 Run("cd " + dir + " && flac -s -f side/album.wav -o flac/album.flac && "
                     "metaflac --set-tag-from-file=CUESHEET=flac/sheet.txt flac/album.flac");
    made.sideCueWav = (folder / "side" / "album.wav").string();
    made.commentFlac = (folder / "flac" / "album.flac").string();
    made.namedOtherwiseWav = (folder / "folder" / "image.wav").string();
    return made;
  }();
  return files;
}

// Counts the calls to storage, each made slower by a fixed delay.
class SlowStorage final : public platform::StorageCallGuard {
 public:
  explicit SlowStorage(int delayMs) : delayMs_(delayMs) {}
  void BeforeCall() override {
    ++calls;
    if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
  }
  void AfterCall() override {}
  int calls = 0;

 private:
  int delayMs_;
};

void BM_FirstLookup(benchmark::State& state, std::string FirstLookupFiles::*file) {
  if (!Ready(state) || !FirstLookupTestFiles().ready) {
    state.SkipWithError("the first lookup's files could not be written");
    return;
  }
  const std::u16string path = Wide(FirstLookupTestFiles().*file);
  int calls = 0;
  for (auto _ : state) {
    CueSheetCache cache;
    SlowStorage storage(static_cast<int>(state.range(0)));
    platform::SetStorageCallGuard(&storage);
    const CueSheet* sheet = cache.GetCueSheet(path.c_str());
    platform::SetStorageCallGuard(nullptr);
    if (sheet == nullptr || sheet->tracks.size() != 12) {
      state.SkipWithError("no sheet found");
      return;
    }
    calls = storage.calls;
  }
  state.counters["storage_calls"] = calls;
}
BENCHMARK_CAPTURE(BM_FirstLookup, side_cue_file, &FirstLookupFiles::sideCueWav)
    ->Arg(0)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_FirstLookup, flac_comment, &FirstLookupFiles::commentFlac)
    ->Arg(0)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_FirstLookup, cue_named_otherwise_among_12, &FirstLookupFiles::namedOtherwiseWav)
    ->Arg(0)->Arg(100)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
