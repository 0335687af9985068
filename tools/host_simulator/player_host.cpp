#include "tools/host_simulator/player_host.h"

#include "tools/host_simulator/title_format.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cwchar>

namespace host_simulator {
namespace {

constexpr wchar_t kWindowClass[] = L"SheetwalkPlayerHost";
constexpr int kOutputLength = 1024;
constexpr UINT_PTR kEditorTimer = 0x5E17;  // the playlist editor's timer on the main window
constexpr UINT kEditorInterval = 100;     // ms
constexpr DWORD kProbeInterval = 5;       // ms
// The longest path the player reads from a refresh's wParam.
constexpr size_t kMaxRefreshPath = 32768;

// The window procedure, timer dispatch and tag functions are plain callbacks
// without an object argument that the player controls; they reach the one
// host through this pointer.
PlayerHost* liveHost = nullptr;

std::string Number(long long value) { return std::to_string(value); }

// Whether `address` lies in a module that is loaded now.
bool IsLoaded(const void* address) {
  HMODULE module = nullptr;
  return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module) != 0;
}

}  // namespace

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  // A path cut to the buffer fills it: ask again with more room.
  while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) >= path.size()) {
    path.resize(path.size() * 2);
  }
  path.resize(length);
  return path;
}

std::wstring BesideExecutable(const wchar_t* name) {
  const std::wstring path = ExecutablePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::string Describe(const Event& event) {
  const std::string text = "'" + ToUtf8(event.text) + "'";
  switch (event.kind) {
    case EventKind::kRefreshFirst:
      return std::string(event.flag ? "posted" : "sent") + " 247" +
             (event.value != 0 ? " for '" + ToUtf8(event.detail) + "'" : "");
    case EventKind::kRefreshSecond:
      return std::string(event.flag ? "posted" : "sent") + " 243";
    case EventKind::kCommand:
    case EventKind::kCommandResult: {
      std::string line = std::string(event.flag ? "system menu " : "") + "command " + Number(LOWORD(event.value));
      if (HIWORD(event.value) != 0) line += " (code " + Number(HIWORD(event.value)) + ")";
      if (event.kind == EventKind::kCommandResult) line += " done, result " + Number(event.result);
      return line;
    }
    case EventKind::kSeek:
      return "seek " + Number(event.value);
    case EventKind::kTitleRequest:
      return "title request for " + text +
             (event.flag ? " (player's tag functions)" : " (tag functions replaced)");
    case EventKind::kTagValue:
      return "tag " + text + (event.flag ? " = '" + ToUtf8(event.detail) + "'" : ": no value");
    case EventKind::kTagCall:
      return "player's tag function: " + text + (event.flag ? " answered" : " not answered");
    case EventKind::kTagFree:
      return "player's free function: released";
    case EventKind::kViolation:
      return "VIOLATION: " + ToUtf8(event.text);
    case EventKind::kTitle:
      return "title " + text;
    case EventKind::kTimerTick:
      return "tick (timer " + Number(event.value) + ")";
    case EventKind::kNestedResult:
      return "nested message returned " + Number(event.result);
    case EventKind::kFileInfo:
      return "player's file info: " + text + (event.flag ? " answered" : " not answered");
    case EventKind::kLaterPlugin:
      return "later plug-in saw message " + Number(event.value);
    case EventKind::kEntryRead:
      return "playlist editor read " + text + ": '" + ToUtf8(event.detail) + "'";
  }
  return "?";
}

PlayerHost::PlayerHost() {
  if (liveHost != nullptr) std::abort();  // one player per process at a time
  liveHost = this;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &PlayerWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  // A message-only window needs no display, and messages reach it as any
  // top-level window's do.
  mainWindow_ = CreateWindowExW(0, kWindowClass, L"Player", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, nullptr);
  startPlaybackMessage_ = RegisterWindowMessageW(L"SheetwalkPlayerStartPlayback");
  waitProbeMessage_ = RegisterWindowMessageW(L"SheetwalkPlayerWaitProbe");
  QueryPerformanceFrequency(&counterFrequency_);
}

PlayerHost::~PlayerHost() {
  StopWaitProbe();
  UnloadPlugin();
  for (wchar_t* value : handedOut_) std::free(value);
  if (IsWindow(mainWindow_)) DestroyWindow(mainWindow_);
  UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
  liveHost = nullptr;
}

bool PlayerHost::LoadPlugin(const std::wstring& path) {
  UnloadPlugin();
  module_ = LoadLibraryW(path.c_str());
  return module_ != nullptr;
}

void PlayerHost::UnloadPlugin() {
  if (module_ == nullptr) return;
  const bool windowAlive = IsWindow(mainWindow_) != 0;
  if (windowAlive && laterPluginSaved_ == nullptr && !PlayerProcedureInstalled()) {
    Violation(L"the plug-in left the main window hooked when it was unloaded");
    SetWindowLongPtrW(mainWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PlayerWindowProc));
  }
  // A timer left running would tick into the unloaded module.
  for (UINT_PTR id : timerIds_) KillTimer(nullptr, id);
  timerIds_.clear();
  FreeLibrary(module_);
  module_ = nullptr;
  latest_ = {};
  // Below a later plug-in, the plug-in's procedure may stay in the chain as
  // long as its module stays loaded.
  if (windowAlive && laterPluginSaved_ != nullptr && laterPluginSaved_ != &PlayerWindowProc &&
      !IsLoaded(reinterpret_cast<const void*>(laterPluginSaved_))) {
    Violation(L"the plug-in's module was unloaded while its procedure was in the main window's chain");
    laterPluginSaved_ = &PlayerWindowProc;
  }
}

PluginEntries PlayerHost::CallExport() {
  if (module_ == nullptr) return {};
  const auto entry = reinterpret_cast<GetGeneralPurposePluginEntry>(
      reinterpret_cast<void*>(GetProcAddress(module_, "winampGetGeneralPurposePlugin")));
  if (entry == nullptr) return {};
  PluginDescriptor* descriptor = entry();
  if (descriptor == nullptr) return {};
  descriptor->mainWindow = mainWindow_;
  descriptor->moduleHandle = module_;
  latest_ = {descriptor, descriptor->init, descriptor->config, descriptor->quit};
  return latest_;
}

int PlayerHost::Init() { return latest_.init != nullptr ? latest_.init() : -1; }

void PlayerHost::Config() {
  if (latest_.config != nullptr) latest_.config();
}

void PlayerHost::Quit() {
  if (latest_.quit != nullptr) latest_.quit();
  CheckLaterPluginChained();
}

void PlayerHost::CheckLaterPluginChained() {
  if (laterPluginSaved_ == nullptr || !IsWindow(mainWindow_)) return;
  if (GetWindowLongPtrW(mainWindow_, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&LaterPluginWindowProc)) {
    Violation(L"quit cut the later plug-in out of the main window's chain");
  }
}

void PlayerHost::DestroyMainWindow() { DestroyWindow(mainWindow_); }

void PlayerHost::SubclassAsLaterPlugin() {
  laterPluginSaved_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(mainWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterPluginWindowProc)));
}

LRESULT CALLBACK PlayerHost::LaterPluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (liveHost == nullptr || window != liveHost->mainWindow_ || liveHost->laterPluginSaved_ == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  liveHost->Record({.kind = EventKind::kLaterPlugin, .value = static_cast<LONG_PTR>(message)});
  return CallWindowProcW(liveHost->laterPluginSaved_, window, message, wParam, lParam);
}

LRESULT PlayerHost::PressThumbnailButton(WORD button) {
  return Send(WM_COMMAND, MAKEWPARAM(button, player_command::kThumbnailClicked), 0);
}

void PlayerHost::SetPlaylist(std::vector<std::optional<std::wstring>> entries, int current) {
  playlist_ = std::move(entries);
  stale_.assign(playlist_.size(), false);
  current_ = current;
}

void PlayerHost::SetPlaylistEditorOpen(bool open) {
  editorOpen_ = open;
  if (open) {
    SetTimer(mainWindow_, kEditorTimer, kEditorInterval, nullptr);
  } else {
    KillTimer(mainWindow_, kEditorTimer);
  }
}

size_t PlayerHost::StaleEntries() const { return static_cast<size_t>(std::count(stale_.begin(), stale_.end(), true)); }

void PlayerHost::MarkStale(WPARAM wParam) {
  const auto* start = reinterpret_cast<const wchar_t*>(wParam);
  const std::wstring_view prefix =
      start != nullptr ? std::wstring_view(start, wcsnlen(start, kMaxRefreshPath)) : std::wstring_view();
  for (size_t i = 0; i < playlist_.size(); ++i) {
    if (start == nullptr || (playlist_[i] && playlist_[i]->starts_with(prefix))) stale_[i] = true;
  }
}

// One entry per tick, the first stale one in playlist order.
void PlayerHost::ReadNextStaleEntry() {
  const auto stale = std::find(stale_.begin(), stale_.end(), true);
  if (!editorOpen_ || stale == stale_.end()) return;
  *stale = false;
  const int index = static_cast<int>(stale - stale_.begin());
  const wchar_t* path = EntryPath(index);
  const std::wstring title = FormatThrough3027(path, titleFormat_, false);
  Record({.kind = EventKind::kEntryRead, .text = path != nullptr ? path : L"(null)", .detail = title});
}

const wchar_t* PlayerHost::EntryPath(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= playlist_.size() || !playlist_[index]) return nullptr;
  return playlist_[index]->c_str();
}

void PlayerHost::SetFileTags(const std::wstring& path, std::map<std::wstring, std::wstring> tags) {
  tags_[path] = std::move(tags);
}

void PlayerHost::Play(int fromMs) {
  playback_ = Playback::kPlaying;
  heldPosition_ = fromMs;
  playStart_ = GetTickCount64();
}

void PlayerHost::SetPosition(int ms) {
  playback_ = Playback::kHeld;
  heldPosition_ = ms;
}

void PlayerHost::Stop() { playback_ = Playback::kStopped; }

void PlayerHost::StartPlayback(int index) {
  SetCurrentIndex(index);
  Play(0);
  PostMessageW(mainWindow_, startPlaybackMessage_, 0, 0);
}

void PlayerHost::StartWaitProbe() {
  StopWaitProbe();
  longestWaitMs_ = 0;
  waitSamples_ = 0;
  probeStop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  probeThread_ = CreateThread(nullptr, 0, &WaitProbeThread, this, 0, nullptr);
}

// The probe's messages still queued have waited until now: taken out of the
// queue alone, nothing else is dispatched.
void PlayerHost::StopWaitProbe() {
  if (probeThread_ == nullptr) return;
  SetEvent(probeStop_);
  WaitForSingleObject(probeThread_, INFINITE);
  MSG queued;
  while (PeekMessageW(&queued, mainWindow_, waitProbeMessage_, waitProbeMessage_, PM_REMOVE)) {
    RecordWait(queued.wParam, queued.lParam);
  }
  CloseHandle(probeThread_);
  CloseHandle(probeStop_);
  probeThread_ = nullptr;
  probeStop_ = nullptr;
}

// The time goes in two halves: on the 32-bit player each parameter holds 32
// bits.
DWORD WINAPI PlayerHost::WaitProbeThread(void* host) {
  const auto& self = *static_cast<const PlayerHost*>(host);
  while (WaitForSingleObject(self.probeStop_, kProbeInterval) == WAIT_TIMEOUT) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const auto stamp = static_cast<uint64_t>(now.QuadPart);
    PostMessageW(self.mainWindow_, self.waitProbeMessage_, static_cast<WPARAM>(stamp & 0xFFFFFFFFu),
                 static_cast<LPARAM>(stamp >> 32));
  }
  return 0;
}

void PlayerHost::RecordWait(WPARAM low, LPARAM high) {
  if (probeThread_ == nullptr) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const uint64_t stamp = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | static_cast<uint32_t>(low);
  const double waited =
      static_cast<double>(static_cast<int64_t>(static_cast<uint64_t>(now.QuadPart) - stamp)) * 1000.0 /
      static_cast<double>(counterFrequency_.QuadPart);
  longestWaitMs_ = std::max(longestWaitMs_, waited);
  ++waitSamples_;
}

int PlayerHost::Position() const {
  switch (playback_) {
    case Playback::kStopped:
      return -1;
    case Playback::kHeld:
      return heldPosition_;
    case Playback::kPlaying:
      break;
  }
  const ULONGLONG elapsed = GetTickCount64() - playStart_;
  return static_cast<int>(std::min<ULONGLONG>(heldPosition_ + elapsed, INT_MAX));
}

LRESULT PlayerHost::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(mainWindow_, message, wParam, lParam);
}

std::wstring PlayerHost::FormatTitle(const wchar_t* fileName, const std::wstring& format) {
  wchar_t output[kOutputLength] = {};
  TitleFormatRequest request{};
  request.fileName = fileName;
  request.useExtendedInfo = 1;
  request.formatSpec = format.c_str();
  request.context = this;
  request.output = output;
  request.outputLength = kOutputLength;
  request.tagFunction = &PlayerTagFunction;
  request.tagFreeFunction = &PlayerFreeFunction;
  Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kFormatTitle);
  return output;
}

std::wstring PlayerHost::FormatOwnTitle(const wchar_t* fileName, const std::wstring& format) {
  return FormatThrough3027(fileName, format, true);
}

// `record`: each tag's value and the title go into the event log.
std::wstring PlayerHost::FormatThrough3027(const wchar_t* fileName, const std::wstring& format, bool record) {
  const TagLookup lookup = [&](const std::wstring& tag) -> std::optional<std::wstring> {
    wchar_t value[kOutputLength] = {};
    ExtendedFileInfoRequest request{fileName, tag.c_str(), value, kOutputLength};
    const LRESULT answered = Send(WM_USER, reinterpret_cast<WPARAM>(&request), player_message::kGetExtendedFileInfo);
    std::optional<std::wstring> copy;
    if (answered != 0) copy = std::wstring(value, std::find(value, value + kOutputLength, L'\0'));
    if (record) {
      Record({.kind = EventKind::kTagValue, .flag = copy.has_value(), .text = tag, .detail = copy.value_or(L"")});
    }
    return copy;
  };
  const std::wstring title = EvaluateTitleFormat(format, lookup);
  if (record) Record({.kind = EventKind::kTitle, .text = title});
  return title;
}

void PlayerHost::Pump(DWORD ms) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    DispatchQueued(ms != 0 ? deadline : 0);
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

bool PlayerHost::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    DispatchQueued(deadline);
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

// A thread slower than the messages that reach it (a timer, the wait probe)
// never finds its queue empty: with a deadline, dispatching ends there.
void PlayerHost::DispatchQueued(ULONGLONG deadline) {
  MSG message;
  while ((deadline == 0 || GetTickCount64() < deadline) && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) {
      timerIds_.insert(message.wParam);
      Record({.kind = EventKind::kTimerTick, .value = static_cast<LONG_PTR>(message.wParam)});
    }
    const MSG* outer = dispatching_;
    dispatching_ = &message;
    DispatchMessageW(&message);
    dispatching_ = outer;
  }
}

bool PlayerHost::PlayerProcedureInstalled() const {
  return GetWindowLongPtrW(mainWindow_, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&PlayerWindowProc);
}

size_t PlayerHost::Count(EventKind kind) const {
  return static_cast<size_t>(
      std::count_if(events_.begin(), events_.end(), [kind](const Event& e) { return e.kind == kind; }));
}

size_t PlayerHost::Find(EventKind kind, size_t from, std::optional<LONG_PTR> value) const {
  for (size_t i = from; i < events_.size(); ++i) {
    if (events_[i].kind == kind && (!value || events_[i].value == *value)) return i;
  }
  return npos;
}

std::string PlayerHost::Log() const {
  std::string log;
  for (size_t i = 0; i < events_.size(); ++i) log += Number(i) + ": " + Describe(events_[i]) + "\n";
  return log;
}

int PlayerHost::UserMessageCount(LPARAM id) const {
  const auto found = userMessageCounts_.find(id);
  return found == userMessageCounts_.end() ? 0 : found->second;
}

LRESULT CALLBACK PlayerHost::PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (liveHost == nullptr || window != liveHost->mainWindow_) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return liveHost->HandleMessage(message, wParam, lParam);
}

LRESULT PlayerHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) return HandleCommand(wParam, false);
  // The player's own items in the system menu are its button commands.
  if (message == WM_SYSCOMMAND &&
      (wParam == player_command::kPrevious || wParam == player_command::kNext || wParam == player_command::kStop)) {
    return HandleCommand(wParam, true);
  }
  SendNestedIfTriggered(message, wParam, lParam);
  if (message == WM_USER) return HandleUserMessage(wParam, lParam);
  if (message == waitProbeMessage_) {
    RecordWait(wParam, lParam);
    return 0;
  }
  if (message == startPlaybackMessage_) {
    FormatPlayingTitle();
    return 0;
  }
  if (message == WM_TIMER && wParam == kEditorTimer) {
    ReadNextStaleEntry();
    return 0;
  }
  if (message == WM_ENDSESSION && wParam != 0) {
    Quit();
    return 0;
  }
  return DefWindowProcW(mainWindow_, message, wParam, lParam);
}

LRESULT PlayerHost::HandleCommand(WPARAM wParam, bool systemMenu) {
  Record({.kind = EventKind::kCommand, .value = static_cast<LONG_PTR>(wParam), .flag = systemMenu});
  SendNestedIfTriggered(WM_COMMAND, wParam, 0);
  // The player, like any window, takes the command id from the low word; a
  // thumbnail button becomes the player's own previous or next.
  WPARAM command = LOWORD(wParam);
  if (HIWORD(wParam) == player_command::kThumbnailClicked) {
    command = command == player_command::kThumbnailPrevious ? player_command::kPrevious
              : command == player_command::kThumbnailNext   ? player_command::kNext
                                                            : 0;
  }
  switch (command) {
    case player_command::kPrevious:
      ChangeEntry(-1);
      break;
    case player_command::kNext:
      ChangeEntry(+1);
      break;
    case player_command::kStop:
      if (pumpDuringStop_) DispatchQueued();
      Stop();
      break;
  }
  Record({.kind = EventKind::kCommandResult,
          .value = static_cast<LONG_PTR>(wParam),
          .result = commandResult_,
          .flag = systemMenu});
  return commandResult_;
}

void PlayerHost::ChangeEntry(int step) {
  if (playlist_.empty()) return;
  current_ = std::clamp(current_ + step, 0, static_cast<int>(playlist_.size()) - 1);
  if (playback_ == Playback::kPlaying) Play(0);
  if (playback_ == Playback::kHeld) SetPosition(0);
}

LRESULT PlayerHost::HandleUserMessage(WPARAM wParam, LPARAM lParam) {
  ++userMessageCounts_[lParam];
  switch (lParam) {
    case kGetVersion:
      return kVersion;
    case player_message::kGetPosition:
      return Position();
    case player_message::kJumpTo:
      Record({.kind = EventKind::kSeek, .value = static_cast<int>(wParam)});
      if (playback_ == Playback::kPlaying) Play(static_cast<int>(wParam));
      if (playback_ == Playback::kHeld) SetPosition(static_cast<int>(wParam));
      return 0;
    case player_message::kGetPlaylistPosition:
      return current_;
    case player_message::kGetPlaylistFile:
      return reinterpret_cast<LRESULT>(EntryPath(static_cast<int>(wParam)));
    case player_message::kRefreshTitlesFirst: {
      const auto* path = reinterpret_cast<const wchar_t*>(wParam);
      Record({.kind = EventKind::kRefreshFirst,
              .value = path != nullptr,
              .flag = IsPosted(WM_USER, lParam),
              .detail = path != nullptr ? std::wstring(path, wcsnlen(path, kMaxRefreshPath)) : L""});
      MarkStale(wParam);
      refreshFirstSeen_ = true;
      return 0;
    }
    case player_message::kRefreshTitlesSecond:
      Record({.kind = EventKind::kRefreshSecond, .flag = IsPosted(WM_USER, lParam)});
      if (refreshFirstSeen_) FormatPlayingTitle();
      refreshFirstSeen_ = false;
      return 0;
    case player_message::kFormatTitle:
      HandleTitleRequest(*reinterpret_cast<TitleFormatRequest*>(wParam));
      return 0;
    case player_message::kGetExtendedFileInfo:
      return AnswerFileInfo(reinterpret_cast<ExtendedFileInfoRequest*>(wParam));
  }
  return 0;
}

// The player's own answer from the file's tags: the value cut to fit `ret`,
// and 1; 0 when it has none.
LRESULT PlayerHost::AnswerFileInfo(ExtendedFileInfoRequest* request) {
  if (request == nullptr) {
    Record({.kind = EventKind::kFileInfo, .text = L"(no record)"});
    return 0;
  }
  std::optional<std::wstring> file;
  if (request->filename != nullptr) file = request->filename;
  std::optional<std::wstring> answer;
  if (request->metadata != nullptr) answer = PlayerTag(file, request->metadata);
  const bool fills = answer && request->ret != nullptr && request->retlen > 0;
  Record({.kind = EventKind::kFileInfo,
          .flag = fills,
          .text = request->metadata != nullptr ? request->metadata : L"(null)",
          .detail = file.value_or(L"(null)")});
  if (!fills) return 0;
  const size_t length = std::min(answer->size(), request->retlen - 1);
  std::wmemcpy(request->ret, answer->data(), length);
  request->ret[length] = L'\0';
  return 1;
}

bool PlayerHost::IsPosted(UINT message, LPARAM lParam) const {
  return dispatching_ != nullptr && dispatching_->hwnd == mainWindow_ && dispatching_->message == message &&
         dispatching_->lParam == lParam;
}

void PlayerHost::FormatPlayingTitle() { FormatOwnTitle(EntryPath(current_), titleFormat_); }

void PlayerHost::HandleTitleRequest(TitleFormatRequest& request) {
  const bool own = request.tagFunction == &PlayerTagFunction && request.tagFreeFunction == &PlayerFreeFunction;
  Record({.kind = EventKind::kTitleRequest,
          .flag = own,
          .text = request.fileName != nullptr ? request.fileName : L"(null)"});
  std::optional<std::wstring> file;
  if (request.fileName != nullptr) file = request.fileName;
  formattingFile_ = file;
  formatting_ = true;

  // Each value is copied out and handed back to the request's free function
  // before the next tag is asked for, as the plug-in's single answer slot
  // requires.
  const TagLookup lookup = [&](const std::wstring& tag) -> std::optional<std::wstring> {
    if (request.tagFunction == nullptr) {
      Violation(L"title request without a tag function");
      return std::nullopt;
    }
    wchar_t* value = request.tagFunction(tag.c_str(), request.context);
    std::optional<std::wstring> copy;
    if (value != nullptr) copy = value;
    Record({.kind = EventKind::kTagValue, .flag = copy.has_value(), .text = tag, .detail = copy.value_or(L"")});
    if (value != nullptr) {
      if (request.tagFreeFunction != nullptr) {
        request.tagFreeFunction(value, request.context);
      } else {
        Violation(L"title request without a free function");
      }
    }
    return copy;
  };
  const std::wstring title =
      EvaluateTitleFormat(request.formatSpec != nullptr ? request.formatSpec : L"", lookup);
  formatting_ = false;
  formattingFile_.reset();

  for (wchar_t* value : handedOut_) {
    Violation(L"a value of the player's tag function was never freed");
    std::free(value);
  }
  handedOut_.clear();

  if (request.output != nullptr && request.outputLength > 0) {
    const size_t length = std::min(title.size(), static_cast<size_t>(request.outputLength - 1));
    std::wmemcpy(request.output, title.data(), length);
    request.output[length] = L'\0';
  }
  Record({.kind = EventKind::kTitle, .text = title});
}

wchar_t* __cdecl PlayerHost::PlayerTagFunction(const wchar_t* tag, void* context) {
  return liveHost != nullptr ? liveHost->TagValue(tag, context) : nullptr;
}

void __cdecl PlayerHost::PlayerFreeFunction(wchar_t* value, void* context) {
  if (liveHost != nullptr) liveHost->FreeValue(value, context);
}

wchar_t* PlayerHost::TagValue(const wchar_t* tag, void* context) {
  if (context != this) Violation(L"the player's tag function got another context than the player's");
  if (!formatting_) Violation(L"the player's tag function was called outside a title request");
  if (tag == nullptr) {
    Violation(L"the player's tag function was called without a tag name");
    return nullptr;
  }
  const std::optional<std::wstring> answer = PlayerTag(formattingFile_, tag);
  Record({.kind = EventKind::kTagCall, .flag = answer.has_value(), .text = tag});
  if (!answer) return nullptr;
  wchar_t* value = _wcsdup(answer->c_str());
  handedOut_.insert(value);
  return value;
}

std::optional<std::wstring> PlayerHost::PlayerTag(const std::optional<std::wstring>& file, const wchar_t* tag) const {
  if (!file) return std::nullopt;
  const auto tags = tags_.find(*file);
  if (tags != tags_.end()) {
    const auto found = tags->second.find(tag);
    if (found != tags->second.end()) return found->second;
  }
  if (std::wcscmp(tag, L"filename") == 0) return file;
  return std::nullopt;
}

void PlayerHost::FreeValue(wchar_t* value, void* context) {
  if (context != this) Violation(L"the player's free function got another context than the player's");
  // Anything but a live value of the player's own tag function would corrupt
  // the player's heap: record it and leave the memory alone.
  if (handedOut_.erase(value) == 0) {
    Violation(L"the player's free function got a value that its tag function did not hand out, "
              L"or one already freed");
    return;
  }
  std::free(value);
  Record({.kind = EventKind::kTagFree});
}

void PlayerHost::SendNestedIfTriggered(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!nested_ || nestedActive_) return;
  if (nested_->triggerMessage != message || nested_->triggerWParam != wParam || nested_->triggerLParam != lParam) {
    return;
  }
  nestedActive_ = true;
  const LRESULT result = Send(nested_->message, nested_->wParam, nested_->lParam);
  nestedActive_ = false;
  Record({.kind = EventKind::kNestedResult, .result = result});
}

void PlayerHost::Record(Event event) {
  events_.push_back(std::move(event));
  if (listener_) listener_(events_.back());
}

void PlayerHost::Violation(std::wstring what) { Record({.kind = EventKind::kViolation, .text = std::move(what)}); }

}  // namespace host_simulator
