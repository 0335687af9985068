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

TEST_F(CueSheetCacheTest, MissOfAFileThatCouldNotBeReadIsNotRemembered) {
  CueSheetCache cache;
  const std::u16string path = test_files::Widen(File("later.wav"));
  // Each lookup searches again: the folder is not listed on every tick.
  test_files::WriteBytes(File("Album.cue"), CueNaming("later.wav"));
  EXPECT_EQ(cache.GetCueSheet(path.c_str()), nullptr);
  EXPECT_EQ(cache.RememberedMisses(), 0u);
  test_files::WriteBytes(File("later.wav.cue"), kCue);
  EXPECT_NE(cache.GetCueSheet(path.c_str()), nullptr);
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
