// Writes each input as an audio file, and maybe a cue file beside it, and
// runs the plug-in's whole lookup on it: the APEv2 tag, the real libFLAC, the
// cue files, the parser, then the navigator and the title tags on what it
// found. Checks what a hostile file must not change:
// - the lookup ends, with a sheet that has a track, a remembered miss, or a
//   side file's stopped sheet kept for the next lookup;
// - it reads at most the cue text limit of each place, plus headers;
// - a second lookup of the unchanged files reads nothing.
//
// Input: a flags byte, then the audio file's bytes. With flag 1 the bytes
// after the first "\xFF" "CUE" are the cue file's instead: a.cue, or with
// flag 2 a.flac.cue.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "navigation/cue_sheet_cache.h"
#include "navigation/navigator.h"
#include "tests/support/bytes_read.h"

namespace {

// What a lookup may read besides cue text: the APEv2 tail and item headers,
// and libFLAC's walk of up to 1024 block headers, each through a stdio
// buffer of at most 8 KiB.
constexpr uint64_t kHeaderBytes = 160 + 64 * 1024 + 1025 * 8192;
// Places whose text may be read whole: the APEv2 item, the FLAC comment
// block (with room for other comments) and two cue files.
constexpr uint64_t kMostRead = 4 * (uint64_t{kCueTextLimit} + 64 * 1024) + kHeaderBytes;

std::string folder;

std::u16string Widen(const std::string& path) { return std::u16string(path.begin(), path.end()); }

void Write(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  CHECK(file != nullptr);
  CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  CHECK(std::fclose(file) == 0);
}

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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char name[] = "/tmp/cue_lookup_fuzzer.XXXXXX";
  CHECK(mkdtemp(name) != nullptr);
  folder = name;
  std::atexit([] {
    for (const char* file : {"/a.flac", "/a.cue", "/a.flac.cue"}) unlink((folder + file).c_str());
    rmdir(folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::string_view audio(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string_view cue;
  bool hasCue = false;
  if ((flags & 1) != 0) {
    const std::size_t marker = audio.find("\xFF" "CUE");
    if (marker != std::string_view::npos) {
      cue = audio.substr(marker + 4);
      audio = audio.substr(0, marker);
      hasCue = true;
    }
  }
  const std::string audioPath = folder + "/a.flac";
  const std::string cuePaths[] = {folder + "/a.cue", folder + "/a.flac.cue"};
  const std::string& cuePath = cuePaths[(flags & 2) != 0 ? 1 : 0];
  Write(audioPath, audio);
  for (const std::string& path : cuePaths) unlink(path.c_str());
  if (hasCue) Write(cuePath, cue);

  const std::u16string path = Widen(audioPath);
  CueSheetCache cache;
  CueLookupReport report;
  const CueSheet* sheet = nullptr;
  const uint64_t firstRead = BytesReadBy([&] { sheet = cache.GetCueSheet(path.c_str(), report); });
  CHECK(firstRead <= kMostRead);
  // A side file whose parse stopped is kept, and answered from the next
  // lookup on.
  const bool keptStopped = sheet == nullptr && cache.size() == 1;
  CHECK(sheet != nullptr || report.missRemembered || keptStopped);

  const CueSheet* again = nullptr;
  const uint64_t secondRead = BytesReadBy([&] { again = cache.GetCueSheet(path.c_str()); });
  CHECK(secondRead == 0);
  if (!keptStopped) CHECK(again == sheet);
  if (again != nullptr) CheckNavigation(*again);
  return 0;
}
