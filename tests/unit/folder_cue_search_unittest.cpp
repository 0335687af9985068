// The FILE lines that tell which audio file a cue sheet in the folder
// belongs to, and file names compared as Windows compares them.
#include "tags/folder_cue_search.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FolderCueSearchTest, FileLinesNameOneFile) {
  const struct {
    const char16_t* text;
    bool one;
    const char16_t* named;
    const char16_t* alsoNamed;
  } kCases[] = {
      {u"TITLE \"A\"\r\nFILE \"CDImage.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n", true, u"CDImage.wav", u""},
      {u"FILE Artist - Album.flac WAVE\n", true, u"Artist - Album.flac", u""},  // unquoted, with blanks
      {u"FILE album.ape\n", true, u"album.ape", u""},                           // no file type
      {u"TITLE \"A\"\rFILE \"a.wav\" WAVE\rFILE \"b.wav\" WAVE\r", false, u"a.wav", u"b.wav"},  // CR alone
      {u"\tFILE \"C:\\Rips\\old/CD1.wav\" WAVE\n", true, u"CD1.wav", u""},       // the last path component
      {u"FILE \"a.wav\" WAVE\nFILE \"A.WAV\" WAVE\n", true, u"a.wav", u""},       // one file, as Windows compares
      {u"FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nFILE \"b.wav\" WAVE\n", false, u"a.wav", u"b.wav"},
      {u"TITLE \"FILE x.wav\"\nREM FILE \"x.wav\"\nFILES x\n", false, u"", u""},  // no FILE command
      {u"file \"x.wav\" WAVE\n", false, u"", u""},                                // keywords are capitals
      {u"FILE \"\" WAVE\nFILE \"dir\\\" WAVE\n", false, u"", u""},                // names no file
  };
  for (const auto& c : kCases) {
    std::u16string named = u"stale", alsoNamed = u"stale";
    EXPECT_EQ(FindNamedFile(c.text, named, alsoNamed), c.one) << testing::PrintToString(std::u16string(c.text));
    EXPECT_EQ(named, c.named);
    EXPECT_EQ(alsoNamed, c.alsoNamed);
  }
}

TEST(FolderCueSearchTest, NamesCompareIgnoringLetterCase) {
  EXPECT_EQ(platform::CompareFileNames(u"cdimage.WAV", u"CDImage.wav"), 0);
  EXPECT_EQ(platform::CompareFileNames(u"Ärger.cue", u"ärger.CUE"), 0);
  EXPECT_EQ(platform::CompareFileNames(u"Зима.cue", u"ЗИМА.cue"), 0);
  EXPECT_LT(platform::CompareFileNames(u"a.cue", u"B.cue"), 0);  // not by code unit: 'B' < 'a'
  EXPECT_LT(platform::CompareFileNames(u"CD1.cue", u"CD1.cue.cue"), 0);
  EXPECT_GT(platform::CompareFileNames(u"CD2.cue", u"cd10.cue"), 0);  // no number order, as Windows
}

}  // namespace
