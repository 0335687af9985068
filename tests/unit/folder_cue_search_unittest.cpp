// The FILE lines that tell which audio file a cue sheet in the folder
// belongs to, and file names compared as Windows compares them.
#include "sources/folder_cue_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/unit/test_files.h"

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
  // Every script with letter case, as the system's table folds them.
  EXPECT_EQ(platform::CompareFileNames(u"Ǆ Ǉ Ǌ Ƀ ǳ", u"ǆ ǉ ǌ ƀ Ǳ"), 0);      // Latin Extended-B
  EXPECT_EQ(platform::CompareFileNames(u"Ḁ Ỳ", u"ḁ ỳ"), 0);                  // Latin Extended Additional
  EXPECT_EQ(platform::CompareFileNames(u"Աշուն", u"ԱՇՈՒՆ"), 0);              // Armenian
  EXPECT_EQ(platform::CompareFileNames(u"ᏣᎳᎩ ꭰ", u"ᏣᎳᎩ Ꭰ"), 0);               // Cherokee
  EXPECT_EQ(platform::CompareFileNames(u"Ⰰ ⓐ Ａ ａ", u"ⰰ Ⓐ ａ Ａ"), 0);          // Glagolitic, circled, full width
  EXPECT_EQ(platform::CompareFileNames(u"ᾀ ἀ Ѐ Ӂ", u"ᾈ Ἀ ѐ ӂ"), 0);          // Greek Extended, Cyrillic
  // Letters whose upper case is another letter's: they fold to nothing.
  EXPECT_NE(platform::CompareFileNames(u"ı", u"I"), 0);
  EXPECT_NE(platform::CompareFileNames(u"ſ", u"S"), 0);
  EXPECT_NE(platform::CompareFileNames(u"ß", u"ẞ"), 0);
  EXPECT_NE(platform::CompareFileNames(u"ς", u"Σ"), 0);
  EXPECT_NE(platform::CompareFileNames(u"ǅ", u"Ǆ"), 0);
}

// A walk hands each lookup its listing of the folder: every search of the
// folder then sees what a search of its own would, and no cue file is read
// twice.
TEST(FolderCueSearchTest, SearchFromAListingIsTheSearchOfItsOwn) {
  const std::string folder = test_files::MakeScratchFolder("folder_listing") + "/";
  const std::string sheet = "TRACK 01 AUDIO\n  INDEX 01 00:00:00\n";
  for (const char* audio : {"CDImage.flac", "other.wav", "CD1.flac", "CD2.flac", "solo.ape", "Case.mp3"}) {
    test_files::WriteBytes(folder + audio, "audio");
  }
  test_files::WriteBytes(folder + "Artist - Album.cue", "FILE \"CDImage.wav\" WAVE\n" + sheet);
  test_files::WriteBytes(folder + "a.cue", "FILE \"other.wav\" WAVE\n" + sheet);
  test_files::WriteBytes(folder + "Disc A.cue", "FILE \"Range.wav\" WAVE\n" + sheet);
  test_files::WriteBytes(folder + "Disc B.cue", "FILE \"Range.wav\" WAVE\nFILE \"b.wav\" WAVE\n" + sheet);
  std::filesystem::create_directory(folder + "folder.cue");
  FolderListing listing;
  ASSERT_TRUE(listing.List(test_files::Widen(folder)));
  EXPECT_EQ(listing.CueFiles().size(), 4u);  // the folder named like a cue file is none

  const auto same = [](const FolderCueSearch& a, const FolderCueSearch& b) {
    EXPECT_EQ(a.folder, b.folder);
    EXPECT_EQ(a.folderStamp, b.folderStamp);
    EXPECT_EQ(a.cueFiles, b.cueFiles);
    EXPECT_EQ(a.sameExtensionFiles, b.sameExtensionFiles);
    EXPECT_EQ(a.taken, b.taken);
    ASSERT_EQ(a.read.size(), b.read.size());
    for (std::size_t i = 0; i < a.read.size(); ++i) {
      EXPECT_EQ(a.read[i].path, b.read[i].path);
      EXPECT_EQ(a.read[i].stamp, b.read[i].stamp);
      EXPECT_EQ(a.read[i].verdict, b.read[i].verdict);
      EXPECT_EQ(a.read[i].named, b.read[i].named);
      EXPECT_EQ(a.read[i].alsoNamed, b.read[i].alsoNamed);
    }
  };
  const char* audios[] = {"CDImage.flac", "other.wav", "CD1.flac", "CD2.flac", "solo.ape", "missing.wav"};
  std::vector<FolderCueSearch> own(std::size(audios));
  for (std::size_t i = 0; i < std::size(audios); ++i) {
    const std::u16string path = test_files::Widen(folder + audios[i]);
    FolderCueSearch listed;
    EXPECT_EQ(FindFolderCueFile(path.c_str(), own[i], nullptr, /*everyVerdict=*/true),
              FindFolderCueFile(path.c_str(), listed, &listing, /*everyVerdict=*/true))
        << audios[i];
    same(own[i], listed);
  }
  EXPECT_EQ(own[0].taken, std::optional<std::size_t>(1));  // "Artist - Album.cue", after "a.cue"

  // The cue files are gone, but the listing has read them already.
  for (const char* cue : {"Artist - Album.cue", "a.cue", "Disc A.cue", "Disc B.cue"}) {
    std::filesystem::remove(folder + cue);
  }
  for (std::size_t i = 0; i < std::size(audios); ++i) {
    const std::u16string path = test_files::Widen(folder + audios[i]);
    FolderCueSearch listed;
    FindFolderCueFile(path.c_str(), listed, &listing, /*everyVerdict=*/true);
    same(own[i], listed);
  }

  // Attributes from the listing: an entry's own; nothing for a name no entry
  // has; the system's to ask for another letter case or another folder.
  platform::FileStamp stamp;
  ASSERT_TRUE(listing.FindStamp(test_files::Widen(folder + "solo.ape"), stamp));
  EXPECT_TRUE(stamp.exists);
  EXPECT_EQ(stamp.size, 5u);
  ASSERT_TRUE(listing.FindStamp(test_files::Widen(folder + "solo.cue"), stamp));
  EXPECT_FALSE(stamp.exists);
  EXPECT_FALSE(listing.FindStamp(test_files::Widen(folder + "case.mp3"), stamp));
  EXPECT_FALSE(listing.FindStamp(test_files::Widen(folder + "sub/solo.ape"), stamp));
  EXPECT_FALSE(listing.FindStamp(u"elsewhere/solo.ape", stamp));
}

}  // namespace
