// What a file without a cue sheet costs the player: the lookup of its first
// title or tick, and of every later tick (a title request is six lookups, one
// for each cue tag it asks for). For each file, besides the time:
//   opens              files opened (open, openat, fopen, by the plug-in and by libFLAC)
//   attribute_queries  stat by path
//   folder_listings    folders listed (opendir)
//   bytes_read         what the process read (rchar of /proc/self/io)
// The counts come from one lookup outside the timed loop. The files come from
// bench/make_miss_files.py: Python's wave module, mutagen, flac, metaflac and
// wavpack; the folder of 2,000 files, 20 of them cue files of other discs,
// from the same script.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "navigation/cue_sheet_cache.h"
#include "platform/file.h"
#include "tests/support/bytes_read.h"
#include "text/text_conversion.h"

namespace {
std::atomic<long> opens{0};
std::atomic<long> attributeQueries{0};
std::atomic<long> folderListings{0};

template <class Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
}  // namespace

// The C library's entry points, counted on the way through; the program
// exports them (ENABLE_EXPORTS), so libFLAC's calls come here too.
extern "C" {
int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  ++opens;
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  return real(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  ++opens;
  static const auto real = Next<int (*)(const char*, int, ...)>("open64");
  return real(path, flags, mode);
}
FILE* fopen(const char* path, const char* mode) {
  ++opens;
  static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen");
  return real(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
  ++opens;
  static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen64");
  return real(path, mode);
}
DIR* opendir(const char* path) {
  ++folderListings;
  static const auto real = Next<DIR* (*)(const char*)>("opendir");
  return real(path);
}
int stat(const char* path, struct stat* info) {
  ++attributeQueries;
  static const auto real = Next<int (*)(const char*, struct stat*)>("stat");
  return real(path, info);
}
int stat64(const char* path, struct stat64* info) {
  ++attributeQueries;
  static const auto real = Next<int (*)(const char*, struct stat64*)>("stat64");
  return real(path, info);
}
}

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path made = fs::temp_directory_path() / "sheetwalk_miss_cost_perftest";
    const std::string command = "/usr/bin/python3 '" SHEETWALK_SOURCE_DIR "/bench/make_miss_files.py' '" +
                                made.string() + "'";
    return std::system(command.c_str()) == 0 ? made : fs::path();
  }();
  return folder;
}

long BytesRead() { return static_cast<long>(bytes_read::ProcessBytesRead()); }

struct Counts {
  long opens;
  long attributeQueries;
  long folderListings;
  long bytesRead;
};

// One lookup, counted. Reading /proc/self/io is itself a read of a few
// hundred bytes; an empty measurement takes that off.
template <class Lookup>
Counts Count(Lookup lookup) {
  auto measure = [](auto&& work) {
    const long o = opens, a = attributeQueries, l = folderListings, b = BytesRead();
    work();
    const long bytes = BytesRead() - b;
    return Counts{opens - o, attributeQueries - a, folderListings - l, bytes};
  };
  const Counts empty = measure([] {});
  Counts counts = measure(lookup);
  counts.opens -= empty.opens;
  counts.attributeQueries -= empty.attributeQueries;
  counts.folderListings -= empty.folderListings;
  counts.bytesRead -= empty.bytesRead;
  return counts;
}

void Report(benchmark::State& state, const Counts& counts) {
  state.counters["opens"] = static_cast<double>(counts.opens);
  state.counters["attribute_queries"] = static_cast<double>(counts.attributeQueries);
  state.counters["folder_listings"] = static_cast<double>(counts.folderListings);
  state.counters["bytes_read"] = static_cast<double>(counts.bytesRead);
}

std::u16string PathOf(benchmark::State& state, const char* name) {
  if (Folder().empty()) {
    state.SkipWithError("make_miss_files.py failed");
    return {};
  }
  return ToWideString((Folder() / name).string(), platform::CodePage::kUtf8);
}

// The first lookup of the file: a new cache each time.
void BM_FirstLookup(benchmark::State& state, const char* name) {
  const std::u16string path = PathOf(state, name);
  if (path.empty()) return;
  const Counts counts = Count([&] {
    CueSheetCache cache;
    benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str()));
  });
  for (auto _ : state) {
    CueSheetCache cache;
    benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str()));
  }
  Report(state, counts);
}

// Every later tick while the file plays.
void BM_LaterTick(benchmark::State& state, const char* name) {
  const std::u16string path = PathOf(state, name);
  if (path.empty()) return;
  CueSheetCache cache;
  if (cache.GetCueSheet(path.c_str()) != nullptr) {
    state.SkipWithError("the file has a cue sheet");
    return;
  }
  const Counts counts = Count([&] { benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str())); });
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.GetCueSheet(path.c_str()));
  }
  Report(state, counts);
}

// The four attribute queries of a later tick on their own (the audio file,
// name.cue, name.ext.cue and the folder), as the system answers them: what a
// tick costs beyond the plug-in's own work.
void BM_TickAttributeQueries(benchmark::State& state) {
  const std::u16string path = PathOf(state, "silence.wav");
  if (path.empty()) return;
  const std::u16string names[] = {path, PathOf(state, "silence.cue"), path + u".cue", PathOf(state, "")};
  platform::FileStamp stamp;
  for (auto _ : state) {
    for (const std::u16string& name : names) benchmark::DoNotOptimize(platform::GetFileStamp(name.c_str(), stamp));
  }
}
BENCHMARK(BM_TickAttributeQueries)->Unit(benchmark::kMicrosecond);

#define SHEETWALK_MISS_FILE(label, name)                               \
  BENCHMARK_CAPTURE(BM_FirstLookup, label, name)->Unit(benchmark::kMicrosecond); \
  BENCHMARK_CAPTURE(BM_LaterTick, label, name)->Unit(benchmark::kMicrosecond)

SHEETWALK_MISS_FILE(wav, "silence.wav");
SHEETWALK_MISS_FILE(mp3_id3v2, "id3v2.mp3");
SHEETWALK_MISS_FILE(flac_1MB_cover, "cover_1MB.flac");
SHEETWALK_MISS_FILE(flac_10MB_cover, "cover_10MB.flac");
SHEETWALK_MISS_FILE(wavpack, "plain.wv");
SHEETWALK_MISS_FILE(ape_30MB_cover, "cover_30MB.ape");
// Content that a reader refuses or that is over the limit for cue text is a
// remembered miss like any other.
SHEETWALK_MISS_FILE(flac_refused_16MB_comments, "refused_16MB_comments.flac");
SHEETWALK_MISS_FILE(cue_over_limit, "over limit/cue_over_limit.wav");
// A file that cannot be opened is searched again once a second; a tick in
// between reads a clock and touches no file.
SHEETWALK_MISS_FILE(missing_file, "missing.wav");
SHEETWALK_MISS_FILE(wav_in_folder_of_2000_files, "2000 files/silence.wav");

}  // namespace
