// Writes each input as an audio file and files of its folder, and runs the
// plug-in's whole lookup on it: the APEv2 tag, the real libFLAC, the cue
// files beside it, the search of the folder, the parser, then the navigator
// and the title tags on what it found. Checks what a hostile folder must not
// change:
// - the lookup ends, with a sheet that has a track, a remembered miss, or a
//   stopped sheet from a cue file, kept for the next lookup;
// - it reads at most the cue text limit of each place, plus headers and the
//   heads of the folder's cue files;
// - a second lookup of the unchanged files within the second reads nothing
//   (a cue file that could not be read may be tried again after it).
//
// Input: a flags byte, then the audio file's bytes (a.flac).
// - Without flag 4: with flag 1 the bytes after the first "\xFF" "CUE" are
//   the cue file's instead: a.cue, or with flag 2 a.flac.cue.
// - With flag 4: each "\xFF" "CUE" ends the bytes before it and starts
//   another entry of the folder; its first byte picks the entry from
//   kEntries (names after the audio file and others, files that cannot be
//   read, a folder with a cue file's name, more cue files than a search
//   reads), and the bytes up to the next marker are its contents.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "navigation/cue_sheet_cache.h"
#include "navigation/navigator.h"
#include "platform/clock.h"
#include "sources/folder_cue_search.h"
#include "tests/support/bytes_read.h"

namespace {

// What a lookup may read besides cue text: the APEv2 tail and item headers,
// and libFLAC's walk of up to 1024 block headers, each through a stdio
// buffer of at most 8 KiB.
constexpr uint64_t kHeaderBytes = 160 + 64 * 1024 + 1025 * 8192;
// Places whose text may be read whole: the APEv2 item, the FLAC comment
// block (with room for other comments), a cue file beside the audio file
// and the one of the folder taken; and the heads of the cue files that the
// folder search reads.
constexpr uint64_t kMostRead = 4 * (uint64_t{kCueTextLimit} + 64 * 1024) +
                               kMaxFolderCueFiles * uint64_t{kFolderCueScanBytes} + kHeaderBytes;
// A lookup within this long of the last one that could not read a file
// reads nothing at all.
constexpr uint64_t kRetryMilliseconds = 1000;

enum class Kind {
  kFile,         // the entry's bytes
  kFIFO,         // no open of the plug-in reads one, whoever runs it
  kDanglingLink, // a link that leads nowhere: it cannot be opened
  kLoopingLink,  // a link to itself: not even its attributes can be taken
  kFolder,       // a folder with a cue file's name
  kManyFiles,    // the bytes under more .cue names than one search reads
};

struct Entry {
  const char* name;
  Kind kind;
};

constexpr Entry kEntries[] = {
    {"a.cue", Kind::kFile},          // beside the audio file, named without its extension
    {"a.flac.cue", Kind::kFile},     // beside it, named after the whole name
    {"Album.cue", Kind::kFile},      // named otherwise: the folder search reads it
    {"album.CUE", Kind::kFile},      // the same name but for letter case
    {"Disc 2.cue", Kind::kFile},
    {"b.cue", Kind::kFile},
    {"b.flac", Kind::kFile},         // another file with the audio file's extension
    {"a.wav", Kind::kFile},          // the audio file's name with another extension
    {"z.cue", Kind::kFIFO},
    {"y.cue", Kind::kDanglingLink},
    {"w.cue", Kind::kLoopingLink},
    {"x.cue", Kind::kFolder},
    {"a.cue", Kind::kFIFO},          // the side cue file, unreadable
    {"a.flac.cue", Kind::kFolder},   // a folder with the side cue file's name
    {"m", Kind::kManyFiles},         // m00.cue ... m16.cue
};
constexpr int kManyFiles = static_cast<int>(kMaxFolderCueFiles) + 1;

std::string folder;
std::vector<std::string> made;  // the paths that the last input made

// Whatever the path is: a file, a FIFO, a link or an empty folder.
void Remove(const std::string& path) {
  if (unlink(path.c_str()) != 0 && (errno == EISDIR || errno == EPERM)) rmdir(path.c_str());
}

void RemoveAll() {
  for (const std::string& path : made) Remove(path);
  made.clear();
}

void Write(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  CHECK(file != nullptr);
  CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  CHECK(std::fclose(file) == 0);
}

void Make(const std::string& path, Kind kind, std::string_view bytes) {
  Remove(path);
  made.push_back(path);
  switch (kind) {
    case Kind::kFile: Write(path, bytes); break;
    case Kind::kFIFO: CHECK(mkfifo(path.c_str(), 0644) == 0); break;
    case Kind::kDanglingLink: CHECK(symlink("nowhere", path.c_str()) == 0); break;
    case Kind::kLoopingLink: CHECK(symlink(path.c_str(), path.c_str()) == 0); break;
    case Kind::kFolder: CHECK(mkdir(path.c_str(), 0755) == 0); break;
    case Kind::kManyFiles: break;
  }
}

void Make(const Entry& entry, std::string_view bytes) {
  if (entry.kind != Kind::kManyFiles) {
    Make(folder + "/" + entry.name, entry.kind, bytes);
    return;
  }
  for (int i = 0; i < kManyFiles; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "/%s%02d.cue", entry.name, i);
    Make(folder + name, Kind::kFile, bytes);
  }
}

// Writes the folder that the input describes.
void WriteFolder(const uint8_t* data, std::size_t size) {
  RemoveAll();
  const uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  constexpr std::string_view kMarker("\xFF" "CUE");
  std::size_t marker = rest.find(kMarker);
  if ((flags & 4) == 0) {
    if ((flags & 1) == 0 || marker == std::string_view::npos) {
      Make(folder + "/a.flac", Kind::kFile, rest);
      return;
    }
    Make(folder + "/a.flac", Kind::kFile, rest.substr(0, marker));
    Make(folder + ((flags & 2) != 0 ? "/a.flac.cue" : "/a.cue"), Kind::kFile, rest.substr(marker + kMarker.size()));
    return;
  }
  Make(folder + "/a.flac", Kind::kFile, rest.substr(0, marker));
  while (marker != std::string_view::npos) {
    rest.remove_prefix(marker + kMarker.size());
    marker = rest.find(kMarker);
    const std::string_view bytes = rest.substr(0, marker);
    if (bytes.empty()) continue;
    Make(kEntries[static_cast<uint8_t>(bytes[0]) % std::size(kEntries)], bytes.substr(1));
  }
}

std::u16string Widen(const std::string& path) { return std::u16string(path.begin(), path.end()); }

// The reading of /proc/self/io is a read itself: what one reading costs,
// taken right before the lookup, is taken off.
uint64_t BytesReadBy(const std::function<void()>& run) {
  const uint64_t first = bytes_read::ProcessBytesRead();
  const uint64_t second = bytes_read::ProcessBytesRead();
  run();
  const uint64_t after = bytes_read::ProcessBytesRead();
  const uint64_t reading = second - first;
  // The counter's text may grow by a digit between readings.
  return after - second > reading + 8 ? after - second - reading : 0;
}

void CheckNavigation(const CueSheet& sheet) {
  CHECK(!sheet.tracks.empty());
  for (const auto& [start, track] : sheet.tracks) {
    for (const int64_t offset : {-1001, 0, 999, 4001}) {
      const int64_t at = int64_t{start} + offset;
      if (at < std::numeric_limits<int32_t>::min() || at > std::numeric_limits<int32_t>::max()) continue;
      const auto position = static_cast<int32_t>(at);
      for (const CueCommand command : {CueCommand::kPrevious, CueCommand::kNext}) {
        int32_t target = 0;
        if (FindJumpTarget(sheet, command, position, target)) CHECK(sheet.tracks.count(target) == 1);
      }
      const CueTrack* playing = FindPlayingTrack(sheet, position);
      if (playing == nullptr) continue;
      CHECK(&sheet.tracks.at(playing->start) == playing);
      for (const TitleTagName& tag : TitleTagNames()) {
        const TitleTagAnswer answer = AnswerTitleTag(tag.tag, sheet, *playing);
        CHECK(answer.kind != TitleTagAnswer::Kind::kText || answer.text != nullptr);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  char name[] = "/tmp/cue_lookup_fuzzer.XXXXXX";
  CHECK(mkdtemp(name) != nullptr);
  folder = name;
  std::atexit([] {
    RemoveAll();
    rmdir(folder.c_str());
  });
  // Inputs of up to 256 KiB where the command line sets no other length:
  // libFuzzer's own default of 4 KiB leaves no room for a folder of sheets.
  static std::vector<char*> arguments(*argv, *argv + *argc);
  static char maxLength[] = "-max_len=262144";
  if (std::none_of(arguments.begin(), arguments.end(),
                   [](const char* argument) { return std::string_view(argument).starts_with("-max_len="); })) {
    arguments.insert(arguments.begin() + 1, maxLength);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  WriteFolder(data, size);

  const std::u16string path = Widen(folder + "/a.flac");
  CueSheetCache cache;
  CueLookupReport report;
  const CueSheet* sheet = nullptr;
  const uint64_t began = platform::MonotonicMilliseconds();
  const uint64_t firstRead = BytesReadBy([&] { sheet = cache.GetCueSheet(path.c_str(), report); });
  CHECK(firstRead <= kMostRead);
  // A stopped sheet from a cue file is kept, and answered from the next
  // lookup on.
  const bool keptStopped = sheet == nullptr && cache.size() == 1;
  CHECK(sheet != nullptr || cache.RememberedMisses() == 1 || keptStopped);

  const CueSheet* again = nullptr;
  const uint64_t secondRead = BytesReadBy([&] { again = cache.GetCueSheet(path.c_str()); });
  if (platform::MonotonicMilliseconds() - began < kRetryMilliseconds) CHECK(secondRead == 0);
  if (!keptStopped) CHECK(again == sheet);
  if (again != nullptr) CheckNavigation(*again);
  return 0;
}
