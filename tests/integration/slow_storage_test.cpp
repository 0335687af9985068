// The plug-in on slow storage, seen from the player: every file-system call
// of this process under the test folder takes 100 ms, and 5 s under
// gone-away (a share that has gone away), through the slow storage library
// preloaded into Wine. The player's thread never keeps its messages waiting
// 100 ms, the cue title shows soon after playback starts, quit never waits
// for a hung call, every refresh names the playing file alone, and a folder
// search that could not read one cue file is not run again while nothing
// changes. The files come from make_slow_storage.sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/integration/integration_support.h"

namespace {

using host_simulator::Event;
using host_simulator::EventKind;
using host_simulator::PlayerHost;

constexpr double kLongestWaitMs = 100;
constexpr ULONGLONG kQuitWithinMs = 200;
constexpr wchar_t kFormat[] = L"[%submaintitle% - ]%title%";
constexpr wchar_t kPlayersTitle[] = L"player's";

std::wstring SlowFile(const std::wstring& name) { return integration::FolderFile("SHEETWALK_SLOW_FILES", name); }

std::wstring CueTitle(const std::wstring& album) { return album + L" - " + kPlayersTitle; }

// The slow storage library's log (SHEETWALK_SLOW_LOG): one line per delayed
// call as it begins, "<ms> <thread> <function> <path>".
class CallLog {
 public:
  CallLog() {
    const char* log = std::getenv("SHEETWALK_SLOW_LOG");
    if (log == nullptr) return;
    path_ = L"Z:";
    for (const char* c = log; *c != '\0'; ++c) path_ += *c == '/' ? L'\\' : wchar_t(*c);
  }
  bool available() const { return !path_.empty(); }

  // Where the log ends now.
  size_t Size() const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path_.empty() || !GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
  }

  // The calls logged from `from` to `to` whose path holds `fragment`, by function.
  std::map<std::string, int> Calls(size_t from, size_t to, const std::string& fragment) const {
    std::map<std::string, int> calls;
    const std::string text = Read();
    size_t at = std::min(from, text.size());
    const size_t end = std::min(to, text.size());
    while (at < end) {
      size_t next = text.find('\n', at);
      if (next == std::string::npos || next > end) break;
      const std::string line = text.substr(at, next - at);
      const size_t function = line.find(' ', line.find(' ') + 1) + 1;
      const size_t path = line.find(' ', function);
      if (function != 0 && path != std::string::npos && line.find(fragment, path) != std::string::npos) {
        ++calls[line.substr(function, path - function)];
      }
      at = next + 1;
    }
    return calls;
  }

 private:
  std::string Read() const {
    const HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text(Size(), '\0');
    DWORD got = 0;
    if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) got = 0;
    CloseHandle(file);
    text.resize(got);
    return text;
  }

  std::wstring path_;
};

std::string Describe(const std::map<std::string, int>& calls) {
  int total = 0;
  std::string each;
  for (const auto& [function, count] : calls) {
    total += count;
    each += (each.empty() ? "" : ", ") + function + " " + std::to_string(count);
  }
  return std::to_string(total) + " calls" + (each.empty() ? "" : " (" + each + ")");
}

// The folder's part of the library's paths, as in "slow_storage_files/side":
// a folder's own path and every path in it hold it.
std::string Fragment(const char* folder) {
  std::string root = std::getenv("SHEETWALK_SLOW_FILES") != nullptr ? std::getenv("SHEETWALK_SLOW_FILES") : "";
  return root.substr(root.find_last_of('/') + 1) + "/" + folder;
}

class SlowStorageTest : public integration::PluginTest {
 protected:
  SlowStorageTest() : PluginTest("SHEETWALK_SLOW_FILES", "the slow storage test files' folder") {}

  void SetUp() override {
    if (std::getenv("LD_PRELOAD") == nullptr) GTEST_SKIP() << "the slow storage library is not preloaded";
    PluginTest::SetUp();
    // Wine starts the desktop at a process's first use of its message queue,
    // which can take seconds: never inside a measurement.
    host.Pump(0);
    host.SetTitleFormat(kFormat);
  }

  // A playlist of these files, each with the player's own title.
  void SetPlaylist(const std::vector<std::wstring>& names) {
    std::vector<std::optional<std::wstring>> entries;
    for (const std::wstring& name : names) {
      entries.emplace_back(SlowFile(name));
      host.SetFileTags(*entries.back(), {{L"title", kPlayersTitle}});
    }
    host.SetPlaylist(entries);
  }

  bool TitleShown(const std::wstring& title) const {
    for (const Event& event : host.events()) {
      if (event.kind == EventKind::kTitle && event.text == title) return true;
    }
    return false;
  }

  // Plays the file alone, until a call of its lookup under `folder` has
  // begun: on gone-away, that call then hangs for 5 s. False when the player
  // did not get its thread back within a second.
  bool PlayIntoHungCall(const wchar_t* name, const char* folder) {
    SetPlaylist({name});
    const size_t from = callLog.Size();
    const ULONGLONG start = GetTickCount64();
    host.StartPlayback(0);
    const bool began =
        host.PumpUntil([&] { return !callLog.Calls(from, callLog.Size(), Fragment(folder)).empty(); }, 1000) &&
        GetTickCount64() - start < 1000;
    host.Pump(100);  // still inside that call, with what the plug-in posted meanwhile handled
    return began;
  }

  CallLog callLog;
};

struct Row {
  const char* id;
  const char* folder;
  const wchar_t* file;
  const wchar_t* album;  // the sheet's title; null: not looked for
  ULONGLONG titleWithinMs;
  DWORD playMs;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.id; }

class SlowStorageRowTest : public SlowStorageTest, public ::testing::WithParamInterface<Row> {};

// The probe runs from the start of playback to its end, while the test's
// thread, the player's, only pumps its messages.
TEST_P(SlowStorageRowTest, PlayersThreadNeverWaitsAndTheCueTitleShowsInTime) {
  const Row& row = GetParam();
  SetPlaylist({row.file});
  const std::wstring cueTitle = row.album != nullptr ? CueTitle(row.album) : L"";
  const size_t logFrom = callLog.Size();
  size_t logAtTitle = 0;
  ULONGLONG shownAt = 0;
  host.SetEventListener([&](const Event& event) {
    if (shownAt == 0 && !cueTitle.empty() && event.kind == EventKind::kTitle && event.text == cueTitle) {
      shownAt = GetTickCount64();
      logAtTitle = callLog.Size();
    }
  });

  host.StartWaitProbe();
  const ULONGLONG start = GetTickCount64();
  host.StartPlayback(0);
  host.Pump(row.playMs);
  host.StopWaitProbe();
  const ULONGLONG playedMs = GetTickCount64() - start;
  host.SetEventListener({});

  std::cout << row.id << ": the player's thread waited at most " << host.LongestWaitMs() << " ms ("
            << host.WaitProbeSamples() << " samples)";
  if (shownAt != 0) std::cout << "; the cue title showed after " << shownAt - start << " ms";
  if (callLog.available()) {
    if (shownAt != 0) std::cout << "; until then " << Describe(callLog.Calls(logFrom, logAtTitle, Fragment(row.folder)));
    std::cout << "; in " << playedMs << " ms " << Describe(callLog.Calls(logFrom, callLog.Size(), Fragment(row.folder)));
  }
  std::cout << std::endl;

  EXPECT_GT(host.WaitProbeSamples(), 0);
  EXPECT_LT(host.LongestWaitMs(), kLongestWaitMs);
  if (row.titleWithinMs != 0) {
    ASSERT_NE(shownAt, 0u) << "the cue title never showed\n" << host.Log();
    EXPECT_LE(shownAt - start, row.titleWithinMs);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SlowStorageRowTest,
    ::testing::Values(Row{"SideCueFile", "side", L"side\\Album.wav", L"Side Album", 1500, 2500},
                      Row{"FlacComment", "flac", L"flac\\Album.flac", L"Flac Album", 2000, 3000},
                      Row{"CueFileNamedOtherwiseAmong12", "among", L"among\\Finale.wav", L"Finale Album", 4000, 5000},
                      // Long enough for many ticks, each asking for the playing file.
                      Row{"NoCueSheet", "plain", L"plain\\Plain.wav", nullptr, 0, 5000},
                      // Past the first hung call's return.
                      Row{"ShareGoneAway", "gone-away", L"gone-away\\Album.wav", nullptr, 0, 6000}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.id); });

// Once the sheet is there: the track change, Next inside the file and stop
// each refresh the playing file alone, and the playlist editor reads no other
// entry again.
TEST_F(SlowStorageTest, RefreshNamesThePlayingFileAndNextJumpsInsideIt) {
  SetPlaylist({L"refresh\\A.wav", L"refresh\\B.wav", L"refresh\\C.wav", L"refresh\\D.wav"});
  const std::wstring playing = host.EntryPath(0);
  host.SetPlaylistEditorOpen(true);
  host.StartPlayback(0);
  ASSERT_TRUE(host.PumpUntil([&] { return TitleShown(CueTitle(L"Refresh Album")); }, 4000)) << host.Log();

  host.Play(2600);  // into the second cue track at 0:03
  host.Pump(900);
  host.SetPosition(4000);
  const size_t beforeNext = host.events().size();
  host.SendCommand(player_command::kNext);
  const size_t seek = host.Find(EventKind::kSeek, beforeNext);
  ASSERT_NE(seek, PlayerHost::npos) << host.Log();
  EXPECT_EQ(host.events()[seek].value, 6000);
  EXPECT_EQ(host.Find(EventKind::kCommand, beforeNext), PlayerHost::npos) << "Next went on to the player";
  host.Pump(300);
  host.SendCommand(player_command::kStop);
  host.Pump(1000);  // ten of the editor's ticks

  size_t refreshes = 0;
  size_t reads = 0;
  for (const Event& event : host.events()) {
    if (event.kind == EventKind::kRefreshFirst) {
      ++refreshes;
      EXPECT_TRUE(event.value != 0 && event.detail == playing) << "247 named '" << host_simulator::ToUtf8(event.detail)
                                                               << "'" << (event.value != 0 ? "" : " (null)");
    }
    if (event.kind == EventKind::kEntryRead) {
      ++reads;
      EXPECT_EQ(event.text, playing) << "the editor read another entry again";
    }
  }
  EXPECT_GE(refreshes, 3u) << "the track change, Next and stop each refresh\n" << host.Log();
  EXPECT_GT(reads, 0u);
  EXPECT_EQ(host.StaleEntries(), 0u);
}

// Quit while the plug-in's lookup sits in a call that hangs for 5 s; after
// unload the call returns into a module whose plug-in has gone.
TEST_F(SlowStorageTest, QuitReturnsWhileACallHangs) {
  ASSERT_TRUE(callLog.available()) << "SHEETWALK_SLOW_LOG names the slow storage library's log";
  ASSERT_TRUE(PlayIntoHungCall(L"gone-away\\Quit.wav", "gone-away"))
      << "within a second of playback, no call of the lookup began while the player's thread pumped";

  const ULONGLONG start = GetTickCount64();
  host.Quit();
  const ULONGLONG quitMs = GetTickCount64() - start;
  const size_t atQuit = host.events().size();
  std::cout << "quit returned after " << quitMs << " ms" << std::endl;
  EXPECT_LT(quitMs, kQuitWithinMs);

  host.UnloadPlugin();
  host.Pump(6000);
  EXPECT_EQ(host.events().size(), atQuit) << "something reached the player after quit\n" << host.Log();
}

TEST_F(SlowStorageTest, InitAgainWhileTheOldLookupDrains) {
  ASSERT_TRUE(callLog.available()) << "SHEETWALK_SLOW_LOG names the slow storage library's log";
  ASSERT_TRUE(PlayIntoHungCall(L"gone-away\\Drain.wav", "gone-away"))
      << "within a second of playback, no call of the lookup began while the player's thread pumped";
  host.Quit();

  ASSERT_NE(host.CallExport().descriptor, nullptr);
  ASSERT_EQ(host.Init(), 0);
  SetPlaylist({L"second\\Album.wav"});
  host.StartPlayback(0);
  EXPECT_TRUE(host.PumpUntil([&] { return TitleShown(CueTitle(L"Second Album")); }, 4000)) << host.Log();
}

// A folder search that could not read one cue file is remembered: while
// nothing in the folder changes, the other cue files are not read again and
// only the unreadable one is tried, alone. Once it can be read, its sheet
// shows.
TEST_F(SlowStorageTest, UnreadableCueFileIsRetriedAloneUntilItCanBeRead) {
  ASSERT_TRUE(callLog.available()) << "SHEETWALK_SLOW_LOG names the slow storage library's log";
  const std::wstring locked = SlowFile(L"locked\\Album (EAC).cue");
  const HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  const auto reads = [&](size_t from, size_t to) {
    int count = 0;
    for (const char* name : {"Disc 1.cue", "Disc 2.cue"}) {
      for (const auto& [function, calls] : callLog.Calls(from, to, Fragment("locked/") + name)) {
        if (function.find("read") != std::string::npos) count += calls;
      }
    }
    return count;
  };

  SetPlaylist({L"locked\\Album.wav"});
  const size_t from = callLog.Size();
  host.StartPlayback(0);
  const bool searched = host.PumpUntil([&] { return reads(from, callLog.Size()) >= 2; }, 5000);
  const size_t afterSearch = callLog.Size();
  host.Pump(3500);  // three retries of the locked file, at 100 ms a call
  const size_t afterWait = callLog.Size();
  const bool shownWhileLocked = TitleShown(CueTitle(L"Locked Album"));
  CloseHandle(lock);
  const ULONGLONG unlocked = GetTickCount64();
  const bool shown = host.PumpUntil([&] { return TitleShown(CueTitle(L"Locked Album")); }, 4000);

  std::cout << "the other cue files were read " << reads(from, afterSearch) << " times in the search, "
            << reads(afterSearch, afterWait) << " times in 3.5 s after it; "
            << (shown ? "the sheet showed " + std::to_string(GetTickCount64() - unlocked) + " ms after the unlock"
                      : std::string("the sheet never showed"))
            << std::endl;
  ASSERT_TRUE(searched) << "the folder's other cue files were never read\n" << host.Log();
  EXPECT_EQ(reads(afterSearch, afterWait), 0) << "the search ran again while nothing changed";
  EXPECT_FALSE(shownWhileLocked);
  EXPECT_TRUE(shown) << host.Log();
}

}  // namespace
