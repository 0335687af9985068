// Where the plug-in finds a file's cue sheet, seen from the player: the five
// places in their order, embedded text with a byte order mark, and an APEv2
// tag before an ID3v1 tag. The files come from make_cue_sources.sh.
#include <gtest/gtest.h>

#include <string>

#include "tests/integration/integration_support.h"

namespace {

std::wstring SourceFile(const std::wstring& name) { return integration::FolderFile("SHEETWALK_CUE_SOURCES", name); }

class CueSourcesTest : public integration::PluginTest {
 protected:
  CueSourcesTest() : PluginTest("SHEETWALK_CUE_SOURCES", "the cue source files' folder") {}

  // The title of the playing file at `position`; 0:05 is in the third cue track.
  std::wstring TitleOf(const std::wstring& name, const std::wstring& format, int position = 5000) {
    const std::wstring path = SourceFile(name);
    host.SetPlaylist({path});
    host.SetFileTags(path, {{L"subtitle", L"player's title"}});
    host.SetPosition(position);
    return host.FormatTitle(path.c_str(), format);
  }
};

TEST_F(CueSourcesTest, FirstPlaceInOrderDecides) {
  const struct {
    const wchar_t* file;
    const wchar_t* title;
  } kCases[] = {
      {L"p1.flac", L"APE Album: 3/3 Three"},         // APEv2 item before all
      {L"p2.flac", L"Comment Album: 3/3 Three"},     // FLAC comment before the cue files
      {L"p3.flac", L"Side Album: 3/3 Three"},        // p3.cue before p3.flac.cue
      {L"p4.flac", L"Whole Album: 3/3 Three"},       // p4.flac.cue before the native block
      // The native block carries no text: the text tags stay the player's.
      {L"p5.flac", L": 3/3 player's title"},
      {L"bom.wav", L"APE Album: 3/3 Three"},
      {L"bom.flac", L"APE Album: 3/3 Three"},
      {L"id3v1.wav", L"APE Album: 3/3 Three"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << host_simulator::ToUtf8(c.file));
    EXPECT_EQ(TitleOf(c.file, L"%submaintitle%: %subnum%/%subnumtotal% %subtitle%"), c.title);
  }
  // A byte order mark would have hidden the album's PERFORMER line.
  EXPECT_EQ(TitleOf(L"bom.wav", L"%submainartist%"), L"APE Album Artist");
  EXPECT_EQ(TitleOf(L"bom.flac", L"%submainartist%"), L"APE Album Artist");
}

TEST_F(CueSourcesTest, SheetsThatFixedRulesMisread) {
  const struct {
    const wchar_t* file;
    int position;
    const wchar_t* title;
  } kCases[] = {
      {L"empty_comment.flac", 5000, L"Side Album: 3/3 Three"},  // no track: the next place
      {L"soundtrack.wav", 5000, L"THE ORIGINAL SOUNDTRACK EDITION: 3/3 Three"},
      {L"soundtrack.wav", 3000, L"THE ORIGINAL SOUNDTRACK EDITION: 2/3 SOUNDTRACK FINALE"},
      {L"minutes.wav", 20000, L"Minutes: 2/3 Two"},
      {L"minutes.wav", 45000, L"Minutes: 3/3 Three"},
      {L"cr.wav", 5000, L"CR Album: 3/3 Three"},
      {L"Mr.Bungle\\track", 5000, L"Folder Album: 3/3 Three"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message() << host_simulator::ToUtf8(c.file) << " at " << c.position);
    EXPECT_EQ(TitleOf(c.file, L"%submaintitle%: %subnum%/%subnumtotal% %subtitle%", c.position), c.title);
  }
}

TEST_F(CueSourcesTest, NativeBlockJumpsLikeAnySheet) {
  const std::wstring path = SourceFile(L"p5.flac");
  host.SetPlaylist({path});
  host.SetPosition(2500);
  host.SendCommand(player_command::kNext);
  host.SetPosition(5000);
  host.SendCommand(player_command::kPrevious);
  const size_t next = host.Find(host_simulator::EventKind::kSeek);
  ASSERT_NE(next, host_simulator::PlayerHost::npos);
  EXPECT_EQ(host.events()[next].value, 4000);
  const size_t previous = host.Find(host_simulator::EventKind::kSeek, next + 1);
  ASSERT_NE(previous, host_simulator::PlayerHost::npos);
  EXPECT_EQ(host.events()[previous].value, 2000) << "a second into the last track: the 2 s track before it";
}

}  // namespace
