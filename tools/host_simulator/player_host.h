// A stand-in for the player's side of the general purpose plug-in interface:
// the player's main window with its own window procedure, a playlist and a
// playback position, the player's own title formatting (each tag asked for
// through WM_USER/3027 sent to its main window), the title-format request
// (298) that other plug-ins send, the taskbar thumbnail buttons and the
// system menu, the loading of a plug-in module and the player's ways to end
// (its window destroyed before quit, quit at log-off from inside its window
// procedure), and a later plug-in that subclasses the main window after ours
// and never gives it back. It records what reaches the player in one ordered
// event log.
//
// Everything runs on the thread that created the host, which plays the
// player's user-interface thread: it sends the messages, calls the plug-in's
// entries and pumps the message queue (Pump), so that the plug-in's timer
// ticks and posted messages arrive. The one exception is the wait probe's
// thread, which only posts to the main window. One host may exist at a time
// per process.
#pragma once

#include "plugin/host_records.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace host_simulator {

enum class EventKind {
  kRefreshFirst,   // WM_USER/247 reached the player; flag: it came from the queue (posted);
                   // value: 1 when wParam named a path, detail: that path
  kRefreshSecond,  // WM_USER/243, likewise
  kCommand,        // WM_COMMAND reached the player; value: wParam; flag: it came as WM_SYSCOMMAND
  kCommandResult,  // the player finished a command; value: wParam, result: its result
  kSeek,           // WM_USER/106; value: the target in ms
  kTitleRequest,   // WM_USER/298 reached the player; text: fileName ("(null)" for none);
                   // flag: the request still holds the player's own tag functions
  kTagValue,       // the formatter asked the request's tag function; text: tag name;
                   // flag: it got a value; detail: the value
  kTagCall,        // the player's own tag function ran; text: tag name; flag: it answered
  kTagFree,        // the player's own free function released one of its own values
  kViolation,      // misuse of the player's functions or heap; text: what happened
  kTitle,          // a title was formatted; text: the title
  kTimerTick,      // a WM_TIMER of a thread timer was dispatched; value: the timer id
  kNestedResult,   // the player's procedure sent its nested message; result: the reply
  kFileInfo,       // WM_USER/3027 reached the player; text: tag name; detail: file name;
                   // flag: the player filled in a value
  kLaterPlugin,    // the later plug-in's procedure saw a message; value: the message
  kEntryRead,      // the playlist editor read a stale entry again; text: its path; detail: its title
};

struct Event {
  EventKind kind;
  LONG_PTR value = 0;
  LRESULT result = 0;
  bool flag = false;
  std::wstring text{};
  std::wstring detail{};
};

// The running program's path, and a file beside it, as the player finds its
// plug-ins in its own folder. Either may be longer than MAX_PATH.
std::wstring ExecutablePath();
std::wstring BesideExecutable(const wchar_t* name);

// One line of plain UTF-8 text describing the event.
std::string Describe(const Event& event);
std::string ToUtf8(std::wstring_view text);

// The descriptor that one call of the export returned, with a copy of its
// entries taken at once: the copies stay callable after the object behind the
// descriptor is gone, as long as the module stays loaded.
struct PluginEntries {
  PluginDescriptor* descriptor = nullptr;
  PluginInitEntry init = nullptr;
  PluginConfigEntry config = nullptr;
  PluginQuitEntry quit = nullptr;
};

// A message that the player's own procedure sends to its own main window
// while it handles the trigger message (after recording a command, before
// acting on it).
struct NestedSend {
  UINT triggerMessage;
  WPARAM triggerWParam;
  LPARAM triggerLParam;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class PlayerHost {
 public:
  // WM_USER/0 asks the player for its version; any other message than those
  // the player knows returns what DefWindowProcW returns.
  static constexpr LPARAM kGetVersion = 0;
  static constexpr LRESULT kVersion = 0x5094;
  static constexpr int kNoIndex = -1;

  PlayerHost();
  ~PlayerHost();
  PlayerHost(const PlayerHost&) = delete;
  PlayerHost& operator=(const PlayerHost&) = delete;

  HWND mainWindow() const { return mainWindow_; }

  // The plug-in module. UnloadPlugin puts the player's procedure back first
  // if the plug-in left it hooked, so that a failed test cannot leave a
  // window procedure inside an unloaded module.
  bool LoadPlugin(const std::wstring& path);
  void UnloadPlugin();
  HMODULE pluginModule() const { return module_; }
  // Calls the export, then writes the main window and the module handle into
  // the descriptor as the player does. No descriptor when the module or its
  // export is missing.
  PluginEntries CallExport();
  // The entries of the descriptor of the latest CallExport.
  int Init();
  void Config();
  void Quit();
  const PluginEntries& latest() const { return latest_; }

  // Playlist: an entry may be a null path; the current index may be anything,
  // negative or past the end.
  void SetPlaylist(std::vector<std::optional<std::wstring>> entries, int current = 0);
  void SetCurrentIndex(int index) { current_ = index; }
  int currentIndex() const { return current_; }
  const wchar_t* EntryPath(int index) const;
  // Tags that the player's own tag function answers for a file. "filename"
  // answers the file name itself unless set here.
  void SetFileTags(const std::wstring& path, std::map<std::wstring, std::wstring> tags);

  // The playlist editor's cache of titles. WM_USER/247 marks entries stale:
  // with a null wParam every entry, with wParam pointing to a zero-terminated
  // wide path, those whose path begins with it (the string is read when the
  // message is handled). While the editor is open, it reads one stale entry
  // again at each tick of its 100 ms timer on the player's thread, as the
  // player's editor does when it reads titles in the background: the title
  // formatted through 3027 (kEntryRead). Closed by default; SetPlaylist makes
  // every entry fresh.
  void SetPlaylistEditorOpen(bool open);
  size_t StaleEntries() const;

  // Playback: Play advances the position with real time; SetPosition holds
  // it still until it is set again or the plug-in seeks; Stop makes it
  // negative. Seeking while stopped is recorded and otherwise ignored.
  void Play(int fromMs = 0);
  void SetPosition(int ms);
  void Stop();
  int Position() const;
  // Starts entry `index` as the player does: it becomes current and plays
  // from 0, and the player formats its playing title from inside its message
  // loop (a message it posts to itself), so that the plug-in's first request
  // for the file comes while the player pumps.
  void StartPlayback(int index);

  // How long the player's thread keeps its messages waiting: while the probe
  // runs, a thread of its own posts a message stamped with the time to the
  // main window every 5 ms, and the player's procedure (reached through
  // whatever procedures hook the window) keeps the longest time between the
  // stamp and its handling. Stopping joins the thread and counts the probe's
  // messages still queued as waiting until then; none counts after.
  void StartWaitProbe();
  void StopWaitProbe();
  double LongestWaitMs() const { return longestWaitMs_; }
  int WaitProbeSamples() const { return waitSamples_; }

  // How the player behaves.
  void SetTitleFormat(std::wstring format) { titleFormat_ = std::move(format); }
  void SetCommandResult(LRESULT result) { commandResult_ = result; }
  // While handling stop, the player dispatches whatever is already queued,
  // as a player does that waits for its output to drain.
  void SetPumpDuringStop(bool pump) { pumpDuringStop_ = pump; }
  void SetNestedSend(std::optional<NestedSend> nested) { nested_ = nested; }

  // Messages to the main window, through whatever procedure it has now.
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT SendCommand(WPARAM command) { return Send(WM_COMMAND, command, 0); }
  // Sends WM_USER/298 for `fileName` (may be null) with `format` and returns
  // the title the player's procedure formatted, as another plug-in asks for one.
  std::wstring FormatTitle(const wchar_t* fileName, const std::wstring& format);
  // Formats a title as the player does for its main window and playlist:
  // WM_USER/3027 to the main window for each tag of `format`, the value
  // taken when the result is non-zero. The playing title after a refresh is
  // made this way.
  std::wstring FormatOwnTitle(const wchar_t* fileName, const std::wstring& format);
  // The taskbar thumbnail buttons and the player's items in the system menu.
  static constexpr WORD kThumbnailPrevious = player_command::kThumbnailPrevious;
  static constexpr WORD kThumbnailNext = player_command::kThumbnailNext;
  LRESULT PressThumbnailButton(WORD button);
  LRESULT ChooseSystemMenuItem(WPARAM command) { return Send(WM_SYSCOMMAND, command, 0); }

  // The player's ways to end. A normal exit destroys the main window, then
  // calls quit. At log-off the player calls quit from inside its window
  // procedure, on WM_ENDSESSION, with every subclass procedure on the stack.
  void DestroyMainWindow();
  LRESULT LogOff() { return Send(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF); }
  // Another plug-in subclasses the main window now, on top of whatever is
  // there, and never restores it. A quit that cuts it out of the chain is a
  // violation.
  void SubclassAsLaterPlugin();

  // Runs the message loop for `ms` milliseconds (0: only what is queued).
  void Pump(DWORD ms);
  // Runs the message loop until `done` holds or `timeoutMs` passed.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

  // True while the main window's procedure is the player's own.
  bool PlayerProcedureInstalled() const;

  const std::vector<Event>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  size_t Count(EventKind kind) const;
  // Index of the first event of `kind` at or after `from`, optionally with
  // the given value; npos when there is none.
  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t Find(EventKind kind, size_t from = 0, std::optional<LONG_PTR> value = {}) const;
  // Every event, one line each, for failure messages.
  std::string Log() const;
  // Called for every event as it is recorded.
  void SetEventListener(std::function<void(const Event&)> listener) { listener_ = std::move(listener); }
  // How many WM_USER messages with this id reached the player.
  int UserMessageCount(LPARAM id) const;

 private:
  enum class Playback { kStopped, kHeld, kPlaying };

  static LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK LaterPluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static wchar_t* __cdecl PlayerTagFunction(const wchar_t* tag, void* context);
  static void __cdecl PlayerFreeFunction(wchar_t* value, void* context);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleCommand(WPARAM wParam, bool systemMenu);
  LRESULT HandleUserMessage(WPARAM wParam, LPARAM lParam);
  LRESULT AnswerFileInfo(ExtendedFileInfoRequest* request);
  std::optional<std::wstring> PlayerTag(const std::optional<std::wstring>& file, const wchar_t* tag) const;
  void CheckLaterPluginChained();
  void HandleTitleRequest(TitleFormatRequest& request);
  void FormatPlayingTitle();
  std::wstring FormatThrough3027(const wchar_t* fileName, const std::wstring& format, bool record);
  void MarkStale(WPARAM wParam);
  void ReadNextStaleEntry();
  void RecordWait(WPARAM low, LPARAM high);
  static DWORD WINAPI WaitProbeThread(void* host);
  void ChangeEntry(int step);
  void SendNestedIfTriggered(UINT message, WPARAM wParam, LPARAM lParam);
  bool IsPosted(UINT message, LPARAM lParam) const;
  // Until the queue is empty, or the tick count reaches `deadline` (0: none).
  void DispatchQueued(ULONGLONG deadline = 0);
  wchar_t* TagValue(const wchar_t* tag, void* context);
  void FreeValue(wchar_t* value, void* context);
  void Record(Event event);
  void Violation(std::wstring what);

  HWND mainWindow_ = nullptr;
  HMODULE module_ = nullptr;
  WNDPROC laterPluginSaved_ = nullptr;  // what the later plug-in calls on; null: no later plug-in
  PluginEntries latest_;

  std::vector<std::optional<std::wstring>> playlist_;
  std::vector<bool> stale_;  // per playlist entry: to be read again by the editor
  bool editorOpen_ = false;
  int current_ = kNoIndex;
  std::map<std::wstring, std::map<std::wstring, std::wstring>> tags_;
  Playback playback_ = Playback::kStopped;
  int heldPosition_ = 0;          // kHeld: the position; kPlaying: the position at playStart_
  ULONGLONG playStart_ = 0;

  std::wstring titleFormat_ = L"[%artist% - ]%title%";
  LRESULT commandResult_ = 0;
  bool pumpDuringStop_ = false;
  std::optional<NestedSend> nested_;
  bool refreshFirstSeen_ = false;
  bool nestedActive_ = false;

  const MSG* dispatching_ = nullptr;  // the queued message being dispatched now
  bool formatting_ = false;                     // inside a title request
  std::optional<std::wstring> formattingFile_;  // its file name, if it has one
  std::set<wchar_t*> handedOut_;       // values of the player's tag function not yet freed
  std::set<UINT_PTR> timerIds_;        // ids of every thread timer seen ticking

  // The player's own messages to its main window, registered at start.
  UINT startPlaybackMessage_ = 0;
  UINT waitProbeMessage_ = 0;
  // The wait probe: the thread and its stop event are the player thread's to
  // start and stop; the probe thread reads only mainWindow_ and these two
  // handles, which stay unchanged while it runs.
  HANDLE probeThread_ = nullptr;
  HANDLE probeStop_ = nullptr;
  LARGE_INTEGER counterFrequency_{};
  double longestWaitMs_ = 0;  // player's thread only
  int waitSamples_ = 0;       // player's thread only

  std::vector<Event> events_;
  std::function<void(const Event&)> listener_;
  std::map<LPARAM, int> userMessageCounts_;
};

}  // namespace host_simulator
