// The plug-in shell as the player sees it: the export and its descriptor, the
// three entries, the hook on the main window, the timer and the title refresh
// after stop. Every test loads the real gen_Sheetwalk.dll into the player host.
#include "tests/integration/integration_support.h"
#include "tools/host_simulator/player_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using host_simulator::EventKind;
using host_simulator::NestedSend;
using host_simulator::PlayerHost;
using host_simulator::PluginEntries;

constexpr LRESULT kCommandResult = 0x5EED;
constexpr int kHeldPosition = 61000;

using integration::PluginPath;

// Whether the code at `address` is in a module that is loaded now.
bool IsLoaded(const void* address) {
  HMODULE module = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module) != 0;
}

class PluginShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.LoadPlugin(PluginPath())) << "cannot load the plug-in, error " << GetLastError();
    host_.SetPlaylist({L"C:\\music\\first.flac", L"C:\\music\\second.flac", std::nullopt}, 1);
    host_.SetFileTags(L"C:\\music\\second.flac", {{L"artist", L"Ensemble"}, {L"title", L"Étude №2"}});
    host_.SetPosition(kHeldPosition);
    host_.SetCommandResult(kCommandResult);
  }

  // The player always calls quit before it unloads a plug-in; after a test
  // that quit already this is the second quit, which does nothing.
  void TearDown() override {
    host_.Quit();
    host_.UnloadPlugin();
    EXPECT_EQ(host_.Count(EventKind::kViolation), 0u) << host_.Log();
  }

  // Runs the message loop until the refresh pair after `from` has arrived.
  void PumpRefresh(size_t from) {
    host_.PumpUntil([&] { return host_.Find(EventKind::kRefreshSecond, from) != PlayerHost::npos; }, 2000);
  }

  // The title refresh arrived exactly once after event `after`: 247 then
  // 243, both from the queue.
  void ExpectOneRefreshAfter(size_t after) {
    const size_t first = host_.Find(EventKind::kRefreshFirst);
    const size_t second = host_.Find(EventKind::kRefreshSecond);
    ASSERT_NE(first, PlayerHost::npos) << host_.Log();
    ASSERT_NE(second, PlayerHost::npos) << host_.Log();
    EXPECT_LT(after, first) << host_.Log();
    EXPECT_LT(first, second) << host_.Log();
    EXPECT_TRUE(host_.events()[first].flag && host_.events()[second].flag) << "sent, not posted\n" << host_.Log();
    EXPECT_EQ(host_.Count(EventKind::kRefreshFirst), 1u) << host_.Log();
    EXPECT_EQ(host_.Count(EventKind::kRefreshSecond), 1u) << host_.Log();
  }

  PlayerHost host_;
};

TEST_F(PluginShellTest, DescriptorAfterExport) {
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  const PluginDescriptor& descriptor = *entries.descriptor;
  EXPECT_EQ(descriptor.version, kPluginDescriptorVersion);
  // The description text is the object's 512-byte buffer just before its descriptor.
  EXPECT_EQ(descriptor.description + 512, reinterpret_cast<const char*>(&descriptor));
  EXPECT_NE(descriptor.init, nullptr);
  EXPECT_NE(descriptor.config, nullptr);
  EXPECT_NE(descriptor.quit, nullptr);

  ASSERT_EQ(host_.Init(), 0);
  EXPECT_EQ(descriptor.mainWindow, host_.mainWindow());
  EXPECT_EQ(descriptor.moduleHandle, host_.pluginModule());
  EXPECT_NE(std::memchr(descriptor.description, '\0', 512), nullptr) << "description not terminated";
  host_.Quit();
}

TEST_F(PluginShellTest, EntriesWithoutAnObjectDoNothing) {
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  host_.Quit();
  ASSERT_TRUE(host_.PlayerProcedureInstalled());

  // After quit, through copies of the entries.
  EXPECT_EQ(entries.init(), -1);
  entries.config();
  entries.quit();
  EXPECT_TRUE(host_.PlayerProcedureInstalled());

  // The module stays loaded once it has run (it pins itself), so loading it
  // again gives the same image, whose entries act on no object.
  const HMODULE earlier = host_.pluginModule();
  host_.UnloadPlugin();
  ASSERT_TRUE(IsLoaded(reinterpret_cast<const void*>(entries.init)));
  ASSERT_TRUE(host_.LoadPlugin(PluginPath()));
  EXPECT_EQ(host_.pluginModule(), earlier);
  EXPECT_EQ(entries.init(), -1);
  entries.config();
  entries.quit();
  EXPECT_TRUE(host_.PlayerProcedureInstalled());

  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  EXPECT_EQ(host_.Init(), 0);
  host_.Quit();
}

TEST_F(PluginShellTest, ConfigChangesNothing) {
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running ? "running" : "created");
    if (running) {
      ASSERT_EQ(host_.Init(), 0);
    }
    const PluginDescriptor before = *entries.descriptor;
    const std::string description = entries.descriptor->description;
    const bool hooked = !host_.PlayerProcedureInstalled();
    const size_t events = host_.events().size();

    host_.Config();

    EXPECT_EQ(std::memcmp(&before, entries.descriptor, sizeof before), 0);
    EXPECT_EQ(entries.descriptor->description, description);
    EXPECT_EQ(!host_.PlayerProcedureInstalled(), hooked);
    EXPECT_EQ(host_.events().size(), events) << host_.Log();
    EXPECT_FALSE(IsWindowVisible(host_.mainWindow()));
  }
  host_.Quit();
}

// The player calls init once; a repeated init must neither hook the window a
// second time (saving the plug-in's own procedure as the player's) nor leave
// a second timer running after quit.
class HookAndTimerTest : public PluginShellTest, public ::testing::WithParamInterface<int> {};

TEST_P(HookAndTimerTest, TicksWhileRunningAndRestoresAtQuit) {
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_TRUE(host_.PlayerProcedureInstalled());
  for (int i = 0; i < GetParam(); ++i) ASSERT_EQ(host_.Init(), 0);
  EXPECT_FALSE(host_.PlayerProcedureInstalled());

  ASSERT_TRUE(host_.PumpUntil([&] { return host_.Count(EventKind::kTimerTick) >= 3; }, 3000))
      << "fewer than 3 timer ticks within 3 s\n" << host_.Log();
  const LONG_PTR timer = host_.events()[host_.Find(EventKind::kTimerTick)].value;
  for (const auto& event : host_.events()) {
    if (event.kind == EventKind::kTimerTick) {
      EXPECT_EQ(event.value, timer) << "more than one timer";
    }
  }

  host_.Quit();
  EXPECT_TRUE(host_.PlayerProcedureInstalled());
  const size_t ticks = host_.Count(EventKind::kTimerTick);
  host_.Pump(600);
  EXPECT_EQ(host_.Count(EventKind::kTimerTick), ticks) << "ticks after quit";

  host_.Quit();  // a second quit does nothing
  EXPECT_TRUE(host_.PlayerProcedureInstalled());
  EXPECT_EQ(host_.latest().init(), -1);
}

INSTANTIATE_TEST_SUITE_P(InitCalls, HookAndTimerTest, ::testing::Values(1, 2));

TEST_F(PluginShellTest, SecondExportMakesTheNewestObjectTheInstance) {
  const PluginEntries first = host_.CallExport();
  const PluginEntries second = host_.CallExport();
  ASSERT_NE(first.descriptor, nullptr);
  ASSERT_NE(second.descriptor, nullptr);
  ASSERT_NE(first.descriptor, second.descriptor);
  EXPECT_NE(first.descriptor->description, second.descriptor->description);

  // The earlier object must not be the one that hooks: give it another window.
  const HWND elsewhere = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(elsewhere, nullptr);
  const LONG_PTR elsewhereProcedure = GetWindowLongPtrW(elsewhere, GWLP_WNDPROC);
  first.descriptor->mainWindow = elsewhere;

  EXPECT_EQ(first.init(), 0);
  EXPECT_FALSE(host_.PlayerProcedureInstalled()) << "the earlier object's init did not act on the newest";
  EXPECT_EQ(GetWindowLongPtrW(elsewhere, GWLP_WNDPROC), elsewhereProcedure);

  // The earlier object stays alive: the player may still hold its descriptor.
  EXPECT_EQ(first.descriptor->version, kPluginDescriptorVersion);
  EXPECT_EQ(first.descriptor->init, first.init);

  first.quit();
  EXPECT_TRUE(host_.PlayerProcedureInstalled());
  EXPECT_EQ(second.init(), -1) << "the earlier object became the instance again";
  EXPECT_EQ(first.init(), -1);
  DestroyWindow(elsewhere);
}

struct CommandCase {
  WPARAM command;
  int index;     // the current entry after the player handled the command
  int position;  // the position after it
};

void PrintTo(const CommandCase& c, std::ostream* out) { *out << "command " << c.command; }

class NotifiedCommandTest : public PluginShellTest, public ::testing::WithParamInterface<CommandCase> {};

// A notification code in the high word makes the command no match for the
// plug-in: the player gets it unchanged and no refresh follows.
TEST_P(NotifiedCommandTest, PassesToThePlayerAndPostsNothing) {
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  const WPARAM wParam = MAKEWPARAM(GetParam().command, 1);

  EXPECT_EQ(host_.SendCommand(wParam), kCommandResult);
  host_.Pump(300);

  EXPECT_EQ(host_.Count(EventKind::kCommand), 1u);
  EXPECT_NE(host_.Find(EventKind::kCommand, 0, static_cast<LONG_PTR>(wParam)), PlayerHost::npos) << host_.Log();
  EXPECT_EQ(host_.currentIndex(), GetParam().index);
  EXPECT_EQ(host_.Position(), GetParam().position);
  EXPECT_EQ(host_.Count(EventKind::kRefreshFirst), 0u) << host_.Log();
  EXPECT_EQ(host_.Count(EventKind::kRefreshSecond), 0u) << host_.Log();
  EXPECT_EQ(host_.Count(EventKind::kSeek), 0u) << host_.Log();
  host_.Quit();
}

INSTANTIATE_TEST_SUITE_P(Commands, NotifiedCommandTest,
                         ::testing::Values(CommandCase{player_command::kPrevious, 0, 0},
                                           CommandCase{player_command::kStop, 1, -1},
                                           CommandCase{player_command::kNext, 2, 0}));

TEST_F(PluginShellTest, StopReturnsThePlayersResultThenTheRefreshArrives) {
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  // The player drains its queue while stopping: a refresh posted before the
  // player handled stop would show up before the stop's result.
  host_.SetPumpDuringStop(true);

  EXPECT_EQ(host_.SendCommand(player_command::kStop), kCommandResult);
  PumpRefresh(0);

  const size_t stopped = host_.Find(EventKind::kCommandResult, 0, player_command::kStop);
  ASSERT_NE(stopped, PlayerHost::npos) << host_.Log();
  EXPECT_EQ(host_.Count(EventKind::kCommand), 1u) << host_.Log();
  ExpectOneRefreshAfter(stopped);
  EXPECT_LT(host_.Position(), 0);
  // The refresh made the player format the playing title anew.
  const size_t title = host_.Find(EventKind::kTitle, host_.Find(EventKind::kRefreshSecond));
  ASSERT_NE(title, PlayerHost::npos) << host_.Log();
  EXPECT_EQ(host_.events()[title].text, L"Ensemble - Étude №2");
  host_.Quit();
}

TEST_F(PluginShellTest, OtherMessagesReturnThePlayersResult) {
  struct Message {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  const std::vector<Message> messages = {
      {WM_USER, 0, PlayerHost::kGetVersion},
      {WM_USER, 0, player_message::kGetPosition},
      {WM_USER, 0, player_message::kGetPlaylistPosition},
      {WM_USER, 1, player_message::kGetPlaylistFile},
      {WM_USER, 2, player_message::kGetPlaylistFile},
      {WM_USER, 9, player_message::kGetPlaylistFile},
      {WM_USER, 0, 4711},
      {WM_GETTEXTLENGTH, 0, 0},
      {WM_APP, 1, 2},
  };
  std::vector<LRESULT> unhooked;
  for (const Message& m : messages) unhooked.push_back(host_.Send(m.message, m.wParam, m.lParam));
  EXPECT_EQ(unhooked[0], PlayerHost::kVersion);
  EXPECT_EQ(unhooked[1], kHeldPosition);
  EXPECT_EQ(unhooked[3], reinterpret_cast<LRESULT>(host_.EntryPath(1)));

  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(host_.Send(messages[i].message, messages[i].wParam, messages[i].lParam), unhooked[i])
        << "message " << i;
  }

  host_.Send(WM_USER, 90000, player_message::kJumpTo);
  EXPECT_NE(host_.Find(EventKind::kSeek, 0, 90000), PlayerHost::npos) << host_.Log();
  EXPECT_EQ(host_.Position(), 90000);

  // A title request always reaches the player's procedure.
  EXPECT_EQ(host_.FormatTitle(L"C:\\music\\second.flac", L"[%artist% - ]%title%"), L"Ensemble - Étude №2");
  EXPECT_EQ(host_.FormatTitle(L"C:\\music\\first.flac", L"[%artist% - ]%title%[ (%filename%)]"),
            L" (C:\\music\\first.flac)");
  EXPECT_EQ(host_.Count(EventKind::kTitleRequest), 2u) << host_.Log();
  EXPECT_EQ(host_.Count(EventKind::kRefreshFirst), 0u) << host_.Log();
  host_.Quit();
}

// The player's ways to end, with or without a later plug-in that subclassed
// the main window after ours and never restores it.
enum class Ending { kQuit, kWindowDestroyedFirst, kLogOff };

struct EndingCase {
  const char* name;
  Ending ending;
  bool laterPlugin;
};

void PrintTo(const EndingCase& c, std::ostream* out) { *out << c.name; }

class EndingTest : public PluginShellTest, public ::testing::WithParamInterface<EndingCase> {};

// After quit nothing of the plug-in acts any more: a command on a file
// without a cue sheet reaches the player with no refresh after it, and the
// player's own results come back, through the later plug-in where there is
// one, also after the host has freed the module, which stays loaded.
TEST_P(EndingTest, LeavesAWorkingWindowAndChain) {
  const EndingCase& c = GetParam();
  const PluginEntries entries = host_.CallExport();
  ASSERT_NE(entries.descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  ASSERT_TRUE(host_.PumpUntil([&] { return host_.Count(EventKind::kTimerTick) > 0; }, 3000));
  if (c.laterPlugin) host_.SubclassAsLaterPlugin();

  switch (c.ending) {
    case Ending::kQuit: host_.Quit(); break;
    case Ending::kWindowDestroyedFirst:
      host_.DestroyMainWindow();
      host_.Quit();
      break;
    case Ending::kLogOff: host_.LogOff(); break;
  }
  EXPECT_EQ(entries.init(), -1) << "the object outlived quit";
  const size_t ticks = host_.Count(EventKind::kTimerTick);
  host_.Pump(450);
  EXPECT_EQ(host_.Count(EventKind::kTimerTick), ticks) << "ticks after quit";

  for (const bool unloaded : {false, true}) {
    SCOPED_TRACE(unloaded ? "after the host freed the module" : "after quit");
    if (unloaded) host_.UnloadPlugin();
    EXPECT_TRUE(IsLoaded(reinterpret_cast<const void*>(entries.init)));
    if (!IsWindow(host_.mainWindow())) continue;
    EXPECT_EQ(host_.PlayerProcedureInstalled(), !c.laterPlugin);
    host_.ClearEvents();
    EXPECT_EQ(host_.SendCommand(player_command::kNext), kCommandResult);
    EXPECT_EQ(host_.Send(WM_USER, 0, PlayerHost::kGetVersion), PlayerHost::kVersion);
    host_.Pump(0);
    EXPECT_EQ(host_.Count(EventKind::kCommand), 1u) << host_.Log();
    EXPECT_EQ(host_.Count(EventKind::kRefreshFirst), 0u) << host_.Log();
    EXPECT_EQ(host_.Find(EventKind::kLaterPlugin) != PlayerHost::npos, c.laterPlugin) << host_.Log();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Endings, EndingTest,
    ::testing::Values(EndingCase{"Quit", Ending::kQuit, false},
                      EndingCase{"WindowDestroyedFirst", Ending::kWindowDestroyedFirst, false},
                      EndingCase{"LogOff", Ending::kLogOff, false},
                      EndingCase{"QuitUnderLaterPlugin", Ending::kQuit, true},
                      EndingCase{"WindowDestroyedFirstUnderLaterPlugin", Ending::kWindowDestroyedFirst, true},
                      EndingCase{"LogOffUnderLaterPlugin", Ending::kLogOff, true}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return std::string(info.param.name); });

// The plug-in's procedure stayed in the chain under a later plug-in; a new
// start takes that place up again instead of going in a second time above
// the later plug-in, where it would call itself through it.
TEST_F(PluginShellTest, NewStartUnderLaterPluginTakesUpItsPlaceInTheChain) {
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  host_.SubclassAsLaterPlugin();
  host_.Quit();
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);

  host_.ClearEvents();
  EXPECT_EQ(host_.SendCommand(player_command::kNext), kCommandResult);
  PumpRefresh(0);
  EXPECT_EQ(host_.Count(EventKind::kCommand), 1u) << host_.Log();
  ExpectOneRefreshAfter(host_.Find(EventKind::kCommandResult));
  EXPECT_NE(host_.Find(EventKind::kLaterPlugin), PlayerHost::npos);
  host_.Quit();
}

struct NestedCase {
  const char* name;
  NestedSend nested;
  LRESULT outerResult;
  LRESULT nestedResult;
};

void PrintTo(const NestedCase& c, std::ostream* out) { *out << c.name; }

class NestedSendTest : public PluginShellTest, public ::testing::WithParamInterface<NestedCase> {};

// The player's procedure sends to its own main window while it handles a
// message: the nested message goes through the plug-in like any other, and
// both calls return the player's results.
TEST_P(NestedSendTest, IsHandledLikeAnyOther) {
  const NestedCase& c = GetParam();
  ASSERT_NE(host_.CallExport().descriptor, nullptr);
  ASSERT_EQ(host_.Init(), 0);
  host_.SetNestedSend(c.nested);

  EXPECT_EQ(host_.Send(c.nested.triggerMessage, c.nested.triggerWParam, c.nested.triggerLParam), c.outerResult);
  PumpRefresh(0);

  const size_t nested = host_.Find(EventKind::kNestedResult);
  ASSERT_NE(nested, PlayerHost::npos) << host_.Log();
  EXPECT_EQ(host_.events()[nested].result, c.nestedResult);
  const size_t stopped = host_.Find(EventKind::kCommandResult, 0, player_command::kStop);
  ASSERT_NE(stopped, PlayerHost::npos) << host_.Log();
  ExpectOneRefreshAfter(std::max(stopped, nested));
  host_.Quit();
}

INSTANTIATE_TEST_SUITE_P(
    Nesting, NestedSendTest,
    ::testing::Values(
        NestedCase{"StopInsideAnotherMessage",
                   {WM_USER, 0, PlayerHost::kGetVersion, WM_COMMAND, player_command::kStop, 0},
                   PlayerHost::kVersion,
                   kCommandResult},
        NestedCase{"PositionQueryInsideStop",
                   {WM_COMMAND, player_command::kStop, 0, WM_USER, 0, player_message::kGetPosition},
                   kCommandResult,
                   kHeldPosition}),
    [](const ::testing::TestParamInfo<NestedCase>& info) { return std::string(info.param.name); });

}  // namespace
