// Cue files named otherwise than their audio file, found by the FILE line
// that names it, seen from the player: one folder per layout, written by
// make_folder_cues.py.
#include <gtest/gtest.h>

#include <string>

#include "tests/integration/integration_support.h"

namespace {

std::wstring FolderCue(const std::wstring& name) { return integration::FolderFile("SHEETWALK_FOLDER_CUES", name); }

class FolderCueTest : public integration::PluginTest {
 protected:
  FolderCueTest() : PluginTest("SHEETWALK_FOLDER_CUES", "the folder cue layouts' folder") {}

  // The album title of the playing file at 0:03, or the player's own.
  std::wstring AlbumOf(const std::wstring& name) {
    const std::wstring path = FolderCue(name);
    host.SetPlaylist({path});
    host.SetFileTags(path, {{L"submaintitle", L"player's"}});
    host.SetPosition(3000);
    return host.FormatTitle(path.c_str(), L"%submaintitle% %subnum%/%subnumtotal%");
  }
};

TEST_F(FolderCueTest, SheetWhoseFileLineNamesThePlayingFile) {
  const struct {
    const wchar_t* file;
    const wchar_t* title;
  } kCases[] = {
      {L"eac\\CDImage.flac", L"EAC Album 2/2"},      // Artist - Album.cue, FILE "CDImage.wav"
      {L"ape\\album.ape", L"APE Album 2/2"},         // album (EAC).cue
      {L"discs\\Disc 1.flac", L"First Disc 2/2"},    // CD1.cue names it
      {L"discs\\Disc 2.flac", L"Second Disc 2/2"},   // CD1.cue names Disc 1.flac; CD2.cue "Disc 2.wav"
      {L"pair\\CDImage.flac", L"Pair Album 2/2"},    // the only pair: FILE "Range.wav", not there
      {L"same\\x.flac", L"First Sheet 2/2"},         // a.cue before B.cue, as Windows orders names
      {L"other\\x.flac", L"player's /"},             // Album.cue names y.wav, which is there
      {L"other\\y.wav", L"Y Album 2/2"},             // ... and belongs to it
      {L"two\\x.flac", L"player's /"},               // FILE "x.wav", then FILE "x-2.wav"
      // 2,000 files and 20 cue files: a FILE line past 64 KiB and the 20th
      // cue file by name are not seen; each disc finds its own sheet.
      {L"big\\miss.wav", L"player's /"},
      {L"big\\disc 05.wav", L"Disc 05 2/2"},
      {L"big\\disc 15.wav", L"Disc 15 2/2"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << host_simulator::ToUtf8(c.file));
    EXPECT_EQ(AlbumOf(c.file), c.title);
  }
}

TEST_F(FolderCueTest, CueFileAddedAfterARememberedMissIsFound) {
  const std::wstring cue = FolderCue(L"added\\Album.cue");
  DeleteFileW(cue.c_str());  // from an earlier run
  EXPECT_EQ(AlbumOf(L"added\\x.flac"), L"player's /");
  EXPECT_EQ(AlbumOf(L"added\\x.flac"), L"player's /");  // the remembered miss
  // File systems date a folder's change by a clock tick of a few
  // milliseconds: a file added in the tick of the listing would leave the
  // folder's time as the listing saw it.
  Sleep(50);
  ASSERT_TRUE(CopyFileW(FolderCue(L"spare.cue").c_str(), cue.c_str(), FALSE));
  EXPECT_EQ(AlbumOf(L"added\\x.flac"), L"Added Album 2/2");
}

}  // namespace
