// Remembered misses: a file without a cue sheet is searched once, and again
// only when the audio file, one of its side cue files, its folder or a cue
// file read in its folder changes. The files
// come from Python's wave module, flac and metaflac.
#include "navigation/cue_sheet_cache.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <chrono>

#include <sys/stat.h>

#include "platform/storage_call.h"
#include "tests/unit/test_files.h"

namespace {

const std::string kCue = "TITLE \"Album\"\nTRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n";

// kCue with a FILE line naming `audio`.
std::string CueNaming(const std::string& audio) { return "FILE \"" + audio + "\" WAVE\n" + kCue; }

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

void WriteSilence(const std::string& wav) {
  Shell("/usr/bin/python3 -c \"import wave; w = wave.open('" + wav +
      "', 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); "
      "w.writeframes(bytes(4 * 44100)); w.close()\"");
}

class CueSheetCacheTest : public testing::Test {
 public:
  void SetUp() override { folder = test_files::MakeScratchFolder("cue_sheet_cache_unittest"); }
  std::string File(const std::string& name) const { return folder + "/" + name; }
  std::string folder;
};

TEST_F(CueSheetCacheTest, RememberedMissEndsWhenAFileThatCouldHoldTheSheetChanges) {
  const struct {
    const char* name;
    const char* audio;
    std::function<void(const CueSheetCacheTest&)> change;
  } kCases[] = {
      {"cue file put beside", "a.wav", [](auto& t) { test_files::WriteBytes(t.File("a.cue"), kCue); }},
      {"cue file of another name naming it, put in the folder", "d.wav",
       [](auto& t) { test_files::WriteBytes(t.File("Album d.cue"), CueNaming("d.flac")); }},
      // In place: the folder's time stays, the cue file's own changes.
      {"cue file of the folder rewritten to name it", "e.wav",
       [](auto& t) { test_files::WriteBytes(t.File("Album e.cue"), CueNaming("E.WAV")); }},
      {"cue file named after the whole name", "b.wav",
       [](auto& t) { test_files::WriteBytes(t.File("b.wav.cue"), kCue); }},
      {"sheet written into the tags", "c.flac",
       [](auto& t) {
         test_files::WriteBytes(t.File("c-sheet.cue"), kCue);
         Shell("metaflac --set-tag-from-file=CUESHEET=" + t.File("c-sheet.cue") + " " + t.File("c.flac"));
       }},
  };
  WriteSilence(File("a.wav"));
  WriteSilence(File("b.wav"));
  WriteSilence(File("d.wav"));
  WriteSilence(File("e.wav"));
  test_files::WriteBytes(File("Album e.cue"), CueNaming("other.wav"));
  Shell("flac -s --no-padding -o " + File("c.flac") + " " + File("a.wav"));
  CueSheetCache cache;
  std::size_t remembered = 0;
  for (const auto& c : kCases) {
    const std::u16string path = test_files::Widen(File(c.audio));
    EXPECT_EQ(cache.GetCueSheet(path.c_str()), nullptr) << c.name;
    EXPECT_EQ(cache.RememberedMisses(), ++remembered) << c.name;
    EXPECT_EQ(cache.GetCueSheet(path.c_str()), nullptr) << c.name;
    c.change(*this);
    const CueSheet* sheet = cache.GetCueSheet(path.c_str());
    ASSERT_NE(sheet, nullptr) << c.name;
    EXPECT_EQ(sheet->albumTitle, u"Album") << c.name;
    EXPECT_EQ(cache.RememberedMisses(), --remembered) << c.name;
  }
}

// A file that could not be opened is searched again, but only after a second.
TEST_F(CueSheetCacheTest, MissOfAFileThatCouldNotBeOpenedIsRetriedAfterASecond) {
  CueSheetCache cache;
  const std::u16string path = test_files::Widen(File("later.wav"));
  // The folder's cue file waits, too, for the search a second later.
  test_files::WriteBytes(File("Album.cue"), CueNaming("later.wav"));
  CueLookupReport report;
  EXPECT_EQ(cache.GetCueSheet(path.c_str(), report), nullptr);
  EXPECT_FALSE(report.missRemembered);
  WriteSilence(File("later.wav"));
  test_files::WriteBytes(File("later.wav.cue"), kCue);
  EXPECT_EQ(cache.GetCueSheet(path.c_str(), report), nullptr);
  EXPECT_TRUE(report.rememberedMiss);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_NE(cache.GetCueSheet(path.c_str()), nullptr);
}

// Every search of a file that opens ends in a remembered answer: content
// that a reader refuses, text over the limit and text without a track are
// absent, and a later place gives the sheet.
TEST_F(CueSheetCacheTest, RefusedLargeOrTracklessPlacesAreAbsent) {
  WriteSilence(File("silence.wav"));
  const std::string flac = "flac -s --no-padding -f -o ";
  const struct {
    const char* name;
    std::string setUp;  // shell commands that change the file F
    bool sideFile;      // a good cue file beside: its sheet is the answer
  } kCases[] = {
      {"empty-comment", "metaflac --set-tag=CUESHEET= F", true},
      {"blank-comment", "metaflac '--set-tag=CUESHEET= \n\t' F", true},
      // The comment block, before a padding block, claims to run past the
      // end of the file.
      {"refused-chain",
       "metaflac --add-padding=64 F && python3 -c \"import sys; p = sys.argv[1]; b = bytearray(open(p, 'rb').read()); i = 4\n"
       "while b[i] & 0x7f != 4: i += 4 + int.from_bytes(b[i + 1:i + 4], 'big')\n"
       "b[i + 1:i + 4] = (len(b) * 2).to_bytes(3, 'big'); open(p, 'wb').write(b)\" F",
       false},
  };
  CueSheetCache cache;
  for (const auto& c : kCases) {
    const std::string audio = File(std::string(c.name) + ".flac");
    Shell(flac + audio + " " + File("silence.wav"));
    std::string setUp = c.setUp;
    for (std::size_t at = setUp.find(" F"); at != std::string::npos; at = setUp.find(" F", at + 2)) {
      setUp.replace(at + 1, 1, audio);
    }
    Shell(setUp);
    if (c.sideFile) test_files::WriteBytes(File(std::string(c.name) + ".cue"), kCue);
    const std::u16string path = test_files::Widen(audio);
    CueLookupReport report;
    const CueSheet* sheet = cache.GetCueSheet(path.c_str(), report);
    EXPECT_EQ(sheet != nullptr, c.sideFile) << c.name;
    EXPECT_EQ(report.missRemembered, !c.sideFile) << c.name;
  }
  // A cue file over the limit is absent, and none of it is read.
  const std::string large = File("large.wav");
  WriteSilence(large);
  std::string text = kCue;
  while (text.size() <= kCueTextLimit) text += "TRACK 01 AUDIO\n INDEX 01 00:00:01\n";
  test_files::WriteBytes(File("large.cue"), text);
  CueLookupReport report;
  EXPECT_EQ(cache.GetCueSheet(test_files::Widen(large).c_str(), report), nullptr);
  EXPECT_TRUE(report.missRemembered);
}

TEST_F(CueSheetCacheTest, OldestMissIsReplaced) {
  CueSheetCache cache;
  const std::size_t files = CueSheetCache::kMaxRememberedMisses + 10;
  for (std::size_t i = 0; i < files; ++i) {
    const std::string name = File(std::to_string(i) + ".wav");
    test_files::WriteBytes(name, "RIFF");
    EXPECT_EQ(cache.GetCueSheet(test_files::Widen(name).c_str()), nullptr);
  }
  EXPECT_EQ(cache.RememberedMisses(), CueSheetCache::kMaxRememberedMisses);
}

}  // namespace

// A lookup stopped after any of its calls to storage (the plug-in's worker
// stops one whose file no longer plays) leaves nothing behind: no sheet, no
// remembered miss, and the next lookup gives what an undisturbed one gives.
class StopAfter final : public platform::StorageCallGuard {
 public:
  explicit StopAfter(int calls) : left_(calls) {}
  void BeforeCall() override {}
  void AfterCall() override {
    if (--left_ == 0) throw platform::StorageWorkAbandoned();
  }
  bool Stopped() const { return left_ <= 0; }

 private:
  int left_;
};

TEST_F(CueSheetCacheTest, LookupStoppedAfterAnyCallLeavesNothingBehind) {
  WriteSilence(File("side.wav"));
  test_files::WriteBytes(File("side.cue"), kCue);
  WriteSilence(File("disc.wav"));
  test_files::WriteBytes(File("Some Album.cue"), CueNaming("disc.wav"));
  test_files::WriteBytes(File("Other Album.cue"), CueNaming("other.wav"));
  WriteSilence(File("plain.wav"));
  WriteSilence(File("tagged.wav"));
  Shell("flac -s --no-padding -o " + File("tagged.flac") + " " + File("tagged.wav"));
  test_files::WriteBytes(File("tagged-sheet.txt"), kCue);
  Shell("metaflac --set-tag-from-file=CUESHEET=" + File("tagged-sheet.txt") + " " + File("tagged.flac"));
  for (const char* audio : {"side.wav", "disc.wav", "plain.wav", "tagged.flac"}) {
    const std::u16string path = test_files::Widen(File(audio));
    const bool hasSheet = std::string(audio) != "plain.wav";
    for (int calls = 1;; ++calls) {
      CueSheetCache cache;
      StopAfter guard(calls);
      platform::SetStorageCallGuard(&guard);
      bool stopped = false;
      try {
        cache.GetCueSheet(path.c_str());
      } catch (const platform::StorageWorkAbandoned&) {
        stopped = true;
      }
      platform::SetStorageCallGuard(nullptr);
      if (!stopped) break;  // the lookup made fewer calls than that
      EXPECT_EQ(cache.size(), 0u) << audio << " stopped after " << calls;
      EXPECT_EQ(cache.RememberedMisses(), 0u) << audio << " stopped after " << calls;
      const CueSheet* sheet = cache.GetCueSheet(path.c_str());
      EXPECT_EQ(sheet != nullptr, hasSheet) << audio << " stopped after " << calls;
      ASSERT_LT(calls, 200) << audio;
    }
  }
}

class CountCalls final : public platform::StorageCallGuard {
 public:
  void BeforeCall() override { ++calls; }
  void AfterCall() override {}
  int calls = 0;
};

// A cue file of the folder that cannot be read (here a FIFO, which is never
// opened) does not make the whole search run again: the miss is remembered
// with the rest, and that file alone is tried again, once a second.
TEST_F(CueSheetCacheTest, UnreadableCueFileOfTheFolderIsRetriedAloneOnceASecond) {
  WriteSilence(File("disc.wav"));
  test_files::WriteBytes(File("B.cue"), CueNaming("other.wav"));
  ASSERT_EQ(mkfifo(File("A.cue").c_str(), 0644), 0);
  const std::u16string path = test_files::Widen(File("disc.wav"));
  CueSheetCache cache;
  CountCalls count;
  platform::SetStorageCallGuard(&count);
  const auto lookupCalls = [&] {
    count.calls = 0;
    EXPECT_EQ(cache.GetCueSheet(path.c_str()), nullptr);
    return count.calls;
  };
  const int first = lookupCalls();
  EXPECT_EQ(cache.RememberedMisses(), 1u);
  // The audio file, its two side names, the folder and the cue file it read.
  constexpr int kWatched = 5;
  EXPECT_EQ(lookupCalls(), kWatched);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(lookupCalls(), kWatched + 1);  // one open of A.cue
  EXPECT_EQ(lookupCalls(), kWatched);
  platform::SetStorageCallGuard(nullptr);
  EXPECT_GT(first, kWatched + 2);

  std::filesystem::remove(File("A.cue"));
  test_files::WriteBytes(File("A.cue"), CueNaming("disc.wav"));
  const CueSheet* sheet = cache.GetCueSheet(path.c_str());
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->albumTitle, u"Album");
}
