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

}  // namespace
