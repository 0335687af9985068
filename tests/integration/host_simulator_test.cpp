// The player host itself, without a plug-in: its title format language, its
// guard of the player's heap and tag functions, and the playback position.
// The plug-in tests rely on these to see what the player would see.
#include "tools/host_simulator/player_host.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using host_simulator::EventKind;
using host_simulator::PlayerHost;

constexpr wchar_t kFile[] = L"C:\\music\\album.flac";

struct FormatCase {
  const wchar_t* format;
  const wchar_t* title;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << host_simulator::ToUtf8(c.format); }

class TitleFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TitleFormatTest, FormatsWithThePlayersTags) {
  PlayerHost host;
  host.SetFileTags(kFile, {{L"artist", L"Ensemble"}, {L"title", L"Étude"}, {L"empty", L""}});
  EXPECT_EQ(host.FormatTitle(kFile, GetParam().format), GetParam().title) << host.Log();
  EXPECT_EQ(host.FormatOwnTitle(kFile, GetParam().format), GetParam().title) << "through 3027\n" << host.Log();

  size_t answered = 0;
  for (const auto& event : host.events()) answered += event.kind == EventKind::kTagCall && event.flag;
  EXPECT_EQ(host.Count(EventKind::kTagFree), answered) << host.Log();
  EXPECT_EQ(host.Count(EventKind::kViolation), 0u) << host.Log();
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TitleFormatTest,
    ::testing::Values(FormatCase{L"%artist% - %title%", L"Ensemble - Étude"},
                      FormatCase{L"[%missing% - ]%title%", L"Étude"},
                      FormatCase{L"[%missing%]", L""},
                      FormatCase{L"[(%empty%)]x", L"()x"},  // an empty value is a value
                      FormatCase{L"[a[%missing%]b]c", L"c"},
                      FormatCase{L"[a[%artist%]b]c", L"aEnsemblebc"},
                      FormatCase{L"[%missing%[%title%]]", L"Étude"},
                      FormatCase{L"100%% %title%", L"100% Étude"},
                      FormatCase{L"50% off", L"50% off"},
                      FormatCase{L"]%title%", L"]Étude"},
                      FormatCase{L"[%title%", L"Étude"},
                      FormatCase{L"%filename%", kFile},
                      FormatCase{L"$if2([%missing% - ]%missing%,%artist%) x", L"Ensemble x"},
                      FormatCase{L"$if2(%title%,%artist%)", L"Étude"},
                      FormatCase{L"$if2([a, b %title%],c)", L"a, b Étude"}));

// A title-format hook installed by the test plays a plug-in that misuses the
// player's free function.
enum class Misuse { kDoubleFree, kForeignFree, kNoFree, kOtherContext, kTagCallAfterRequest };

WNDPROC playerProcedure = nullptr;
TagFunction playerTag = nullptr;
TagFreeFunction playerFree = nullptr;
Misuse misuse = Misuse::kDoubleFree;
wchar_t pluginsOwnText[] = L"the plug-in's own";

void __cdecl MisusingFree(wchar_t* value, void* context) {
  switch (misuse) {
    case Misuse::kDoubleFree:
      playerFree(value, context);
      playerFree(value, context);
      break;
    case Misuse::kForeignFree:
      playerFree(pluginsOwnText, context);
      playerFree(value, context);
      break;
    case Misuse::kNoFree:
      break;
    case Misuse::kOtherContext:
      playerFree(value, nullptr);
      break;
    case Misuse::kTagCallAfterRequest:
      playerFree(value, context);
      break;
  }
}

LRESULT CALLBACK MisusingHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && lParam == player_message::kFormatTitle) {
    auto* request = reinterpret_cast<TitleFormatRequest*>(wParam);
    playerTag = request->tagFunction;
    playerFree = request->tagFreeFunction;
    request->tagFreeFunction = &MisusingFree;
  }
  return CallWindowProcW(playerProcedure, window, message, wParam, lParam);
}

class HeapGuardTest : public ::testing::TestWithParam<Misuse> {};

TEST_P(HeapGuardTest, RecordsEveryMisuseOfThePlayersFunctions) {
  PlayerHost host;
  host.SetFileTags(kFile, {{L"title", L"Étude"}});
  misuse = GetParam();
  playerProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(host.mainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MisusingHook)));

  EXPECT_EQ(host.FormatTitle(kFile, L"%title%"), L"Étude");
  if (misuse == Misuse::kTagCallAfterRequest) {
    EXPECT_EQ(playerTag(L"title", &host), nullptr);
  }

  SetWindowLongPtrW(host.mainWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(playerProcedure));
  EXPECT_EQ(host.Count(EventKind::kViolation), 1u) << host.Log();
  const size_t request = host.Find(EventKind::kTitleRequest);
  ASSERT_NE(request, PlayerHost::npos);
  EXPECT_FALSE(host.events()[request].flag) << "the replaced free function went unnoticed";
}

INSTANTIATE_TEST_SUITE_P(Misuses, HeapGuardTest,
                         ::testing::Values(Misuse::kDoubleFree, Misuse::kForeignFree, Misuse::kNoFree,
                                           Misuse::kOtherContext, Misuse::kTagCallAfterRequest));

TEST(PlayerHostTest, TellsPostedFromSentRefresh) {
  PlayerHost host;
  host.Send(WM_USER, 0, player_message::kRefreshTitlesFirst);
  PostMessageW(host.mainWindow(), WM_USER, 0, player_message::kRefreshTitlesFirst);
  host.Pump(0);
  ASSERT_EQ(host.Count(EventKind::kRefreshFirst), 2u);
  EXPECT_FALSE(host.events()[host.Find(EventKind::kRefreshFirst)].flag);
  EXPECT_TRUE(host.events()[host.Find(EventKind::kRefreshFirst, 1)].flag);
}

TEST(PlayerHostTest, PositionIsHeldPlayedOrStopped) {
  PlayerHost host;
  const auto position = [&] { return static_cast<int>(host.Send(WM_USER, 0, player_message::kGetPosition)); };
  EXPECT_LT(position(), 0);
  host.Send(WM_USER, 5000, player_message::kJumpTo);  // ignored while stopped
  EXPECT_LT(position(), 0);

  host.SetPosition(5000);
  host.Pump(100);
  EXPECT_EQ(position(), 5000);
  host.Send(WM_USER, 7000, player_message::kJumpTo);
  EXPECT_EQ(position(), 7000);

  host.Play(1000);
  host.Pump(250);
  EXPECT_GE(position(), 1200);
  EXPECT_LT(position(), 10000);

  host.SendCommand(player_command::kStop);
  EXPECT_LT(position(), 0);
  EXPECT_EQ(host.Count(EventKind::kSeek), 2u);
}

// 247 with a path marks the entries whose path begins with it, with a null
// wParam every entry; the open editor reads one stale entry per 100 ms tick.
TEST(PlayerHostTest, PlaylistEditorReadsTheEntriesThatARefreshMarked) {
  PlayerHost host;
  host.SetPlaylist({L"C:\\a\\one.flac", L"C:\\a\\one.flac.cue", L"C:\\b\\two.flac", std::nullopt});
  host.SetFileTags(L"C:\\a\\one.flac", {{L"title", L"One"}});
  std::wstring named = L"C:\\a\\one.flac";
  PostMessageW(host.mainWindow(), WM_USER, reinterpret_cast<WPARAM>(named.c_str()), player_message::kRefreshTitlesFirst);
  host.Pump(0);
  const size_t refresh = host.Find(EventKind::kRefreshFirst);
  ASSERT_NE(refresh, PlayerHost::npos);
  EXPECT_EQ(host.events()[refresh].detail, named);
  EXPECT_EQ(host.StaleEntries(), 2u);
  host.Pump(500);
  EXPECT_EQ(host.Count(EventKind::kEntryRead), 0u) << "the editor is closed";

  host.SetPlaylistEditorOpen(true);
  EXPECT_TRUE(host.PumpUntil([&] { return host.StaleEntries() == 0; }, 1000));
  ASSERT_EQ(host.Count(EventKind::kEntryRead), 2u) << host.Log();
  const auto& first = host.events()[host.Find(EventKind::kEntryRead)];
  EXPECT_EQ(first.text, named);
  EXPECT_EQ(first.detail, L"One");

  host.Send(WM_USER, 0, player_message::kRefreshTitlesFirst);
  EXPECT_EQ(host.StaleEntries(), 4u);
  EXPECT_TRUE(host.PumpUntil([&] { return host.Count(EventKind::kEntryRead) == 6; }, 1500)) << host.Log();
  EXPECT_EQ(host.Count(EventKind::kViolation), 0u) << host.Log();
}

TEST(PlayerHostTest, WaitProbeSeesThePlayersThreadBusy) {
  PlayerHost host;
  host.StartWaitProbe();
  host.Pump(100);
  const double idle = host.LongestWaitMs();
  Sleep(300);
  host.Pump(100);
  host.StopWaitProbe();
  EXPECT_GT(host.WaitProbeSamples(), 10);
  EXPECT_LT(idle, 50);
  EXPECT_GE(host.LongestWaitMs(), 250);
  EXPECT_LT(host.LongestWaitMs(), 1000);
}

TEST(PlayerHostTest, PlaybackStartsWithTheTitleFormattedInTheMessageLoop) {
  PlayerHost host;
  host.SetPlaylist({L"C:\\a\\one.flac", L"C:\\b\\two.flac"});
  host.SetFileTags(L"C:\\b\\two.flac", {{L"title", L"Two"}});
  host.SetTitleFormat(L"%title%");
  host.StartPlayback(1);
  EXPECT_EQ(host.currentIndex(), 1);
  EXPECT_GE(host.Position(), 0);
  EXPECT_EQ(host.Count(EventKind::kTitle), 0u);
  host.Pump(0);
  const size_t title = host.Find(EventKind::kTitle);
  ASSERT_NE(title, PlayerHost::npos);
  EXPECT_EQ(host.events()[title].text, L"Two");
}

}  // namespace
