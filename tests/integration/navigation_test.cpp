// Previous/next inside the playing file, the track change refresh, the six
// title tags and the cue sheet lookup, seen from the player's side with the
// real plug-in loaded. The audio files come from make_test_files.sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/integration/integration_support.h"
#include "tools/host_simulator/player_host.h"

using host_simulator::EventKind;
using host_simulator::PlayerHost;

namespace {

constexpr DWORD kTwoTicks = 450;  // ms: the plug-in's timer ticks every 200 ms
const std::wstring kAllSix = L"%subnum%|%subnumtotal%|%subtitle%|%subartist%|%submaintitle%|%submainartist%";

// The test files' folder as a Windows path (Wine's Z: drive is the root).
std::wstring TestFile(const std::wstring& name) {
  return integration::FolderFile("SHEETWALK_TEST_FILES", name);
}

class NavigationTest : public integration::PluginTest {
 protected:
  NavigationTest() : PluginTest("SHEETWALK_TEST_FILES", "the test files' folder") {}

  void PlayAt(const std::wstring& file, int ms) {
    host.SetPlaylist({file});
    host.SetPosition(ms);
  }
  std::wstring Tags(const std::wstring& format = kAllSix) {
    return host.FormatTitle(host.EntryPath(host.currentIndex()), format);
  }
  size_t Refreshes() const { return host.Count(EventKind::kRefreshSecond); }
};

struct CommandCase {
  WPARAM command;
  int position;
  std::optional<int> jump;  // none: the command goes on to the player
};

// Every way the player's Previous and Next arrive: its buttons, the taskbar
// thumbnail buttons and its items in the window's system menu.
struct CommandForm {
  const char* name;
  UINT message;
  WPARAM previous;
  WPARAM next;
};
constexpr WORD kThumbnail = player_command::kThumbnailClicked;
const CommandForm kCommandForms[] = {
    {"button", WM_COMMAND, player_command::kPrevious, player_command::kNext},
    {"thumbnail", WM_COMMAND, MAKEWPARAM(player_command::kThumbnailPrevious, kThumbnail),
     MAKEWPARAM(player_command::kThumbnailNext, kThumbnail)},
    {"system menu", WM_SYSCOMMAND, player_command::kPrevious, player_command::kNext},
};

LRESULT Press(PlayerHost& host, const CommandForm& form, WPARAM command) {
  return host.Send(form.message, command == player_command::kPrevious ? form.previous : form.next, 0);
}

// Tracks at 0:00, 3:00 and 6:00.
TEST_F(NavigationTest, PreviousAndNextJumpInsideTheFileOrLeaveTheCommandToThePlayer) {
  const WPARAM kPrevious = player_command::kPrevious, kNext = player_command::kNext;
  const CommandCase cases[] = {
      {kPrevious, 181000, 0},       {kPrevious, 190000, 180000}, {kPrevious, 184000, 0},
      {kPrevious, 2000, std::nullopt}, {kNext, 178500, 180000},   {kNext, 179500, 360000},
      {kNext, 179000, 360000},      {kNext, 370000, std::nullopt}, {kNext, 0, 180000},
  };
  for (const CommandForm& form : kCommandForms) {
    for (const CommandCase& c : cases) {
      SCOPED_TRACE(testing::Message() << form.name << " " << c.command << " at " << c.position);
      PlayAt(TestFile(L"album.wv"), c.position);
      host.ClearEvents();
      Press(host, form, c.command);
      host.Pump(0);
      const size_t seek = host.Find(EventKind::kSeek);
      if (c.jump) {
        ASSERT_NE(seek, PlayerHost::npos) << host.Log();
        EXPECT_EQ(host.events()[seek].value, *c.jump);
        EXPECT_EQ(host.Count(EventKind::kCommand), 0u) << "a jump consumes the command";
        EXPECT_EQ(host.currentIndex(), 0);
      } else {
        EXPECT_EQ(seek, PlayerHost::npos) << host.Log();
        EXPECT_EQ(host.Count(EventKind::kCommand), 1u);
      }
      // The refresh is posted either way, after the player handled the command.
      const size_t refresh = host.Find(EventKind::kRefreshFirst);
      ASSERT_NE(refresh, PlayerHost::npos) << host.Log();
      EXPECT_NE(host.Find(EventKind::kRefreshSecond, refresh), PlayerHost::npos);
      if (!c.jump) {
        EXPECT_LT(host.Find(EventKind::kCommandResult), refresh);
      }
    }
  }
}

// Tracks at 0:00, 3:00, 3:02 (2 s long) and 6:00: Previous counts its four
// seconds from the start of the track that plays (the last one whose start
// has been reached), so it never passes over the short one.
TEST_F(NavigationTest, PreviousStopsAtAShortTrack) {
  const struct {
    int position;
    int jump;
  } cases[] = {{183500, 180000}, {186000, 180000}, {186001, 182000}, {181000, 0}, {181500, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "at " << c.position);
    PlayAt(TestFile(L"short.wv"), c.position);
    host.ClearEvents();
    host.SendCommand(player_command::kPrevious);
    host.Pump(0);
    const size_t seek = host.Find(EventKind::kSeek);
    ASSERT_NE(seek, PlayerHost::npos) << host.Log();
    EXPECT_EQ(host.events()[seek].value, c.jump);
  }
}

TEST_F(NavigationTest, CommandsWithoutCueTrackGoToThePlayer) {
  struct Situation {
    const char* what;
    std::vector<std::optional<std::wstring>> playlist;
    int index;
    bool playing;
    bool refresh;
  } situations[] = {
      {"nothing playing", {TestFile(L"album.wv")}, 0, false, true},
      {"no cue sheet", {TestFile(L"silence.wav")}, 0, true, true},
      {"no playlist entry", {TestFile(L"album.wv")}, -1, true, false},
      {"null path", {std::nullopt}, 0, true, false},
  };
  for (const Situation& s : situations) {
    for (const CommandForm& form : kCommandForms) {
      for (WPARAM command : {player_command::kPrevious, player_command::kNext}) {
        SCOPED_TRACE(testing::Message() << s.what << ", " << form.name << " " << command);
        host.SetPlaylist(s.playlist, s.index);
        if (s.playing) host.SetPosition(190000); else host.Stop();
        host.ClearEvents();
        Press(host, form, command);
        host.Pump(0);
        EXPECT_EQ(host.Count(EventKind::kCommand), 1u) << host.Log();
        EXPECT_EQ(host.Count(EventKind::kSeek), 0u);
        EXPECT_EQ(Refreshes(), s.refresh ? 1u : 0u) << host.Log();
      }
    }
  }
}

TEST_F(NavigationTest, OtherCommandsAreNoPreviousOrNext) {
  const struct {
    UINT message;
    WPARAM wParam;
    size_t reachesPlayerAsCommand;
  } messages[] = {
      {WM_COMMAND, MAKEWPARAM(player_command::kNext, 1), 1},  // a notification code
      {WM_COMMAND, MAKEWPARAM(1, kThumbnail), 1},             // the thumbnail's play button
      {WM_COMMAND, MAKEWPARAM(player_command::kThumbnailNext, kThumbnail + 1), 1},
      {WM_SYSCOMMAND, MAKEWPARAM(player_command::kNext, 1), 0},
      {WM_SYSCOMMAND, MAKEWPARAM(player_command::kThumbnailNext, kThumbnail), 0},
      {WM_SYSCOMMAND, player_command::kStop, 1},
  };
  for (const auto& m : messages) {
    SCOPED_TRACE(testing::Message() << "message " << m.message << ", wParam " << m.wParam);
    PlayAt(TestFile(L"album.wv"), 190000);
    host.ClearEvents();
    host.Send(m.message, m.wParam, 0);
    host.Pump(0);
    EXPECT_EQ(host.Count(EventKind::kSeek), 0u) << host.Log();
    EXPECT_EQ(host.Count(EventKind::kCommand), m.reachesPlayerAsCommand) << host.Log();
    EXPECT_EQ(Refreshes(), 0u) << host.Log();
  }
}

TEST_F(NavigationTest, TitleRefreshesOnceWhenPlaybackCrossesIntoAnotherTrack) {
  PlayAt(TestFile(L"album.wv"), 178000);
  host.Pump(kTwoTicks);
  EXPECT_EQ(Refreshes(), 1u) << "the first tick that finds a track refreshes\n" << host.Log();

  auto refreshesAfter = [&](int position) {
    host.ClearEvents();
    host.SetPosition(position);
    host.Pump(kTwoTicks);
    return Refreshes();
  };
  EXPECT_EQ(refreshesAfter(179000), 0u) << "3:00 is not before 2:59 + 1 s";
  EXPECT_EQ(refreshesAfter(179001), 1u) << "a second before 3:00, the second track is current";
  EXPECT_EQ(refreshesAfter(185000), 0u);
  EXPECT_EQ(refreshesAfter(200000), 0u) << "a seek back inside the second track";
  EXPECT_EQ(refreshesAfter(100000), 1u) << "a seek back into the first track";

  host.ClearEvents();
  host.Stop();
  host.Pump(kTwoTicks);
  host.SetPosition(10000);
  host.Pump(kTwoTicks);
  EXPECT_EQ(Refreshes(), 0u) << "stop and start again in the last seen track\n" << host.Log();
}

TEST_F(NavigationTest, SixTagsDescribeTheTrackUnderThePosition) {
  struct TagCase {
    const wchar_t* file;
    int position;
    const wchar_t* expected;
  } cases[] = {
      // Every track has the album's performer: subartist is the player's.
      {L"album.wv", 190000, L"2|3|Wavpack Album 2|(player)|Wavpack Album|Ensemble Lviv"},
      {L"album.wv", 179500, L"2|3|Wavpack Album 2|(player)|Wavpack Album|Ensemble Lviv"},
      {L"album.wv", 179000, L"1|3|Wavpack Album 1|(player)|Wavpack Album|Ensemble Lviv"},
      {L"album.flac", 200000, L"2|3|FLAC Album 2|Björk Guðmundsdóttir|FLAC Album|Various Artists"},
      {L"album.flac", 999000, L"3|3|FLAC Album 3|宇多田ヒカル|FLAC Album|Various Artists"},
      // The second track has no PERFORMER while the album has one.
      {L"side.wav", 200000, L"2|3|Side Album 2||Side Album|Ensemble Lviv"},
      {L"side.wav", 10000, L"1|3|Side Album 1|Ensemble Lviv|Side Album|Ensemble Lviv"},
      {L"noperformer.wav", 10000, L"1|3|No Performers 1|(player)|No Performers|"},
      // TRACK numbers start at 05 in the text; the tags count in text order.
      // No track has a PERFORMER, the album has one: not a single performer.
      {L"twelve.wv", 250000, L"3|12|Song 3||Twelve|Dozen"},
  };
  for (const TagCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " at " << c.position);
    PlayAt(TestFile(c.file), c.position);
    host.SetFileTags(TestFile(c.file), {{L"subartist", L"(player)"}});
    EXPECT_EQ(Tags(), c.expected) << host.Log();
    EXPECT_EQ(host.FormatOwnTitle(TestFile(c.file).c_str(), kAllSix), c.expected) << "the player's own title";
  }
}

TEST_F(NavigationTest, OtherTagsAndOtherFilesStayWithThePlayer) {
  const std::wstring album = TestFile(L"album.wv");
  PlayAt(album, 190000);
  std::map<std::wstring, std::wstring> playerTags = {
      {L"title", L"Whole album"}, {L"SubNum", L"(player)"}, {L"subnum", L"(player)"}};
  host.SetFileTags(album, playerTags);
  EXPECT_EQ(Tags(L"%title%: %SubNum% %subnum%"), L"Whole album: (player) 2");

  // Another file of the playlist, and the playing file spelt in another case.
  const std::wstring other = TestFile(L"album.flac");
  host.SetFileTags(other, playerTags);
  std::wstring upper = album;
  for (wchar_t& c : upper) c = towupper(c);
  host.SetFileTags(upper, playerTags);
  for (const std::wstring& file : {other, upper}) {
    host.ClearEvents();
    EXPECT_EQ(host.FormatTitle(file.c_str(), L"%subnum% %subtitle%"), L"(player) ");
    ASSERT_NE(host.Find(EventKind::kTitleRequest), PlayerHost::npos);
    EXPECT_TRUE(host.events()[host.Find(EventKind::kTitleRequest)].flag) << "the player's own functions stay";
  }

  // A playing file without a cue sheet: every tag and every free is the player's.
  PlayAt(TestFile(L"silence.wav"), 1000);
  host.SetFileTags(TestFile(L"silence.wav"), {{L"subtitle", L"mine"}, {L"title", L"t"}});
  host.ClearEvents();
  EXPECT_EQ(Tags(L"%subtitle%/%title%/%subnum%"), L"mine/t/");
  EXPECT_EQ(host.Count(EventKind::kTagFree), 2u) << host.Log();
}

// The player's own titles ask through WM_USER/3027 and get the same answer
// for every tag as a title-format request (298) does; the six tags' values
// are above, the five album and composer tags' here.
TEST_F(NavigationTest, PlayersOwnTitleGetsTheSameTagsAsARequest) {
  const std::wstring kAllTags = kAllSix + L"|%subdate%|%subgenre%|%subcomposer%|%subdisc%|%subdisctotal%";
  std::map<std::wstring, std::wstring> playerTags;
  for (const wchar_t* name : {L"subnum", L"subnumtotal", L"subtitle", L"subartist", L"submaintitle",
                              L"submainartist", L"subdate", L"subgenre", L"subcomposer", L"subdisc", L"subdisctotal"}) {
    playerTags[name] = L"P";
  }
  const struct {
    const wchar_t* file;
    int position;  // negative: stopped
    const wchar_t* lastFive;
  } cases[] = {
      {L"album.flac", 10000, L"P|Test|P|P|P"},  {L"album.flac", 999000, L"P|Test|P|P|P"},
      {L"album.wv", 179500, L"P|Test|P|P|P"},   {L"side.wav", 200000, L"P|Test|P|P|P"},
      {L"twelve.wv", 250000, L"P|P|P|P|P"},     {L"album.flac", -1, L"P|P|P|P|P"},
      {L"silence.wav", 1000, L"P|P|P|P|P"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " at " << c.position);
    const std::wstring file = TestFile(c.file);
    PlayAt(file, c.position);
    if (c.position < 0) host.Stop();
    host.SetFileTags(file, playerTags);
    const std::wstring own = host.FormatOwnTitle(file.c_str(), kAllTags);
    EXPECT_EQ(own, host.FormatTitle(file.c_str(), kAllTags)) << host.Log();
    EXPECT_TRUE(own.ends_with(c.lastFive)) << host_simulator::ToUtf8(own);
  }
}

TEST_F(NavigationTest, PlayersLookupIsCutToItsBuffer) {
  PlayAt(TestFile(L"album.flac"), 200000);
  const struct {
    size_t retlen;
    const wchar_t* value;
  } cases[] = {{1, L""}, {2, L"F"}, {5, L"FLAC"}, {12, L"FLAC Album "}, {13, L"FLAC Album 2"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "retlen " << c.retlen);
    wchar_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    ExtendedFileInfoRequest request{host.EntryPath(0), L"subtitle", buffer, c.retlen};
    host.ClearEvents();
    EXPECT_EQ(host.Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kGetExtendedFileInfo), 1);
    EXPECT_STREQ(buffer, c.value);
    EXPECT_TRUE(std::all_of(buffer + c.retlen, std::end(buffer), [](wchar_t w) { return w == L'#'; }))
        << "written past retlen";
    EXPECT_EQ(host.Count(EventKind::kFileInfo), 0u) << "answered without the player\n" << host.Log();
  }
}

// A number cut to fit would be another number: the player answers instead.
TEST_F(NavigationTest, PlayersLookupOfANumberThatDoesNotFitIsThePlayers) {
  const struct {
    const wchar_t* file;
    int position;
    const wchar_t* tag;
    size_t retlen;
    const wchar_t* value;  // "P": the player's
  } cases[] = {
      {L"twelve.wv", 1330000, L"subnum", 2, L"P"},      {L"twelve.wv", 1330000, L"subnum", 3, L"12"},
      {L"twelve.wv", 10000, L"subnumtotal", 2, L"P"},   {L"twelve.wv", 10000, L"subnum", 2, L"1"},
      {L"short.wv", 10000, L"subdisc", 2, L"P"},        {L"short.wv", 10000, L"subdisc", 3, L"10"},
      {L"short.wv", 10000, L"subdisctotal", 2, L"P"},   {L"twelve.wv", 1330000, L"subtitle", 3, L"So"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << host_simulator::ToUtf8(c.tag) << " with retlen " << c.retlen);
    const std::wstring file = TestFile(c.file);
    PlayAt(file, c.position);
    host.SetFileTags(file, {{c.tag, L"P"}});
    wchar_t buffer[8] = {};
    ExtendedFileInfoRequest request{host.EntryPath(0), c.tag, buffer, c.retlen};
    host.ClearEvents();
    EXPECT_EQ(host.Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kGetExtendedFileInfo), 1);
    EXPECT_STREQ(buffer, c.value);
    EXPECT_EQ(host.Count(EventKind::kFileInfo), std::wstring(c.value) == L"P" ? 1u : 0u) << host.Log();
  }
}

TEST_F(NavigationTest, OtherLookupsGoToThePlayerUnchanged) {
  const std::wstring album = TestFile(L"album.flac");
  const std::wstring other = TestFile(L"album.wv");
  std::wstring upper = album;
  for (wchar_t& c : upper) c = towupper(c);
  PlayAt(album, 200000);
  for (const std::wstring& file : {album, other, upper}) {
    host.SetFileTags(file, {{L"subtitle", L"(player)"}, {L"SubTitle", L"(player)"}, {L"title", L"Whole"}});
  }
  wchar_t buffer[64];
  const struct {
    const char* what;
    const wchar_t* file;
    const wchar_t* tag;
    wchar_t* ret;
    size_t retlen;
    LRESULT result;  // the player's
    const wchar_t* value;
  } cases[] = {
      {"another file", other.c_str(), L"subtitle", buffer, 64, 1, L"(player)"},
      {"the playing file in another case", upper.c_str(), L"subtitle", buffer, 64, 1, L"(player)"},
      {"another tag", album.c_str(), L"title", buffer, 64, 1, L"Whole"},
      {"a tag in another case", album.c_str(), L"SubTitle", buffer, 64, 1, L"(player)"},
      {"no file name", nullptr, L"subtitle", buffer, 64, 0, L""},
      {"no tag name", album.c_str(), nullptr, buffer, 64, 0, L""},
      {"no buffer", album.c_str(), L"subtitle", nullptr, 64, 0, L""},
      {"no room", album.c_str(), L"subtitle", buffer, 0, 0, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    buffer[0] = L'\0';
    ExtendedFileInfoRequest request{c.file, c.tag, c.ret, c.retlen};
    host.ClearEvents();
    EXPECT_EQ(host.Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kGetExtendedFileInfo), c.result);
    EXPECT_STREQ(buffer, c.value);
    const size_t asked = host.Find(EventKind::kFileInfo);
    ASSERT_NE(asked, PlayerHost::npos) << host.Log();
    EXPECT_EQ(host.events()[asked].text, c.tag != nullptr ? c.tag : L"(null)");
    EXPECT_EQ(host.events()[asked].detail, c.file != nullptr ? c.file : L"(null)");
  }
  host.ClearEvents();
  EXPECT_EQ(host.Send(WM_USER, 0, player_message::kGetExtendedFileInfo), 0);
  EXPECT_EQ(host.Count(EventKind::kFileInfo), 1u) << "a request without a record reaches the player";
}

// A player that asks for several tags before it frees any of them.
std::vector<std::wstring> freedByPlayer;
wchar_t* __cdecl TestPlayerTag(const wchar_t* tag, void*) { return _wcsdup((std::wstring(L"player:") + tag).c_str()); }
void __cdecl TestPlayerFree(wchar_t* value, void*) {
  freedByPlayer.push_back(value);
  std::free(value);
}

TEST_F(NavigationTest, FreesGoToTheOwnerOfTheValueWhateverTheOrder) {
  PlayAt(TestFile(L"album.wv"), 190000);
  TitleFormatRequest request{};
  request.fileName = host.EntryPath(0);
  request.tagFunction = &TestPlayerTag;
  request.tagFreeFunction = &TestPlayerFree;
  host.Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kFormatTitle);
  ASSERT_NE(request.tagFunction, &TestPlayerTag);

  freedByPlayer.clear();
  wchar_t* number = request.tagFunction(L"subnum", nullptr);
  wchar_t* title = request.tagFunction(L"title", nullptr);
  wchar_t* cueTitle = request.tagFunction(L"subtitle", nullptr);
  EXPECT_STREQ(number, L"2");
  EXPECT_STREQ(title, L"player:title");
  EXPECT_STREQ(cueTitle, L"Wavpack Album 2");
  request.tagFreeFunction(number, nullptr);
  request.tagFreeFunction(title, nullptr);
  request.tagFreeFunction(cueTitle, nullptr);
  EXPECT_EQ(freedByPlayer, std::vector<std::wstring>{L"player:title"});
}

TEST_F(NavigationTest, CueSheetSourcesHaveAFixedPrecedence) {
  struct Source {
    const wchar_t* file;
    const wchar_t* album;
  } sources[] = {
      {L"both.flac", L"Wavpack Album"},      // APEv2 before FLAC
      {L"apenocue.flac", L"FLAC Album"},     // APEv2 tag without the item
      {L"album.wv", L"Wavpack Album"},       // embedded before the cue file beside it
      {L"side.wav", L"Side Album"},
  };
  for (const Source& s : sources) {
    SCOPED_TRACE(testing::Message() << s.file);
    PlayAt(TestFile(s.file), 10000);
    EXPECT_EQ(Tags(L"%submaintitle%"), s.album);
  }
}

TEST_F(NavigationTest, SheetsWhoseParseStopsEarly) {
  // Embedded: kept from the first lookup with the tracks before the stop.
  PlayAt(TestFile(L"broken.wv"), 400000);
  EXPECT_EQ(Tags(L"%subnum%/%subnumtotal% %subtitle% [(%subartist%)]"), L"1/3 First ()");

  // Beside the file: the first lookup finds nothing, later ones the partial sheet.
  PlayAt(TestFile(L"brokenside.wav"), 5000);
  EXPECT_EQ(Tags(L"%subtitle%"), L"");
  EXPECT_EQ(Tags(L"%subtitle%"), L"First");
}

// Copies a test file to a fresh name so the test can change or delete it.
std::wstring ScratchCopy(const std::wstring& from, const std::wstring& name) {
  const std::wstring to = TestFile(name);
  EXPECT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE));
  return to;
}

TEST_F(NavigationTest, CueSheetIsReadOnceAndKeptWhileThePlugInRuns) {
  const std::wstring copy = ScratchCopy(TestFile(L"album.wv"), L"read-once.wv");
  PlayAt(copy, 190000);
  EXPECT_EQ(Tags(L"%submaintitle%"), L"Wavpack Album");
  // Another file under the same name, then no file at all: the first reading stands.
  ASSERT_TRUE(CopyFileW(TestFile(L"album.flac").c_str(), copy.c_str(), FALSE));
  EXPECT_EQ(Tags(L"%submaintitle% %subtitle%"), L"Wavpack Album Wavpack Album 2");
  ASSERT_TRUE(DeleteFileW(copy.c_str()));
  EXPECT_EQ(Tags(L"%submaintitle%"), L"Wavpack Album");
  host.SendCommand(player_command::kNext);
  EXPECT_EQ(host.events()[host.Find(EventKind::kSeek)].value, 360000);

  // The same path in another letter case is another file to the plug-in, read anew.
  std::wstring upper = copy;
  for (wchar_t& c : upper) c = towupper(c);
  PlayAt(upper, 190000);
  EXPECT_EQ(Tags(L"%submaintitle%"), L"");
}

TEST_F(NavigationTest, CueFilePutBesideLaterIsFound) {
  const std::wstring audio = ScratchCopy(TestFile(L"silence.wav"), L"later.wav");
  const std::wstring cue = TestFile(L"later.cue");
  DeleteFileW(cue.c_str());
  PlayAt(audio, 10000);
  EXPECT_EQ(Tags(L"%submaintitle%"), L"");
  ASSERT_TRUE(CopyFileW(TestFile(L"side.cue").c_str(), cue.c_str(), FALSE));
  EXPECT_EQ(Tags(L"%submaintitle%"), L"Side Album");
}

}  // namespace
