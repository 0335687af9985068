// The hook on the player's main window and the plug-in's timer.
#include "plugin/rudara_plugin.h"

#include "platform/utf16_view_win.h"

#include <utility>

namespace {

constexpr UINT kTimerInterval = 200;  // ms

// The player's previous or next command that a message carries, as the whole
// wParam of WM_COMMAND: the taskbar thumbnail buttons and the player's items
// in the system menu are the same commands as its buttons. Any other
// WM_COMMAND keeps its wParam, any other message gives 0.
WPARAM PrevNextCommand(UINT message, WPARAM wParam) {
  using namespace player_command;
  if (message == WM_COMMAND) {
    if (wParam == MAKEWPARAM(kThumbnailPrevious, kThumbnailClicked)) return kPrevious;
    if (wParam == MAKEWPARAM(kThumbnailNext, kThumbnailClicked)) return kNext;
    return wParam;
  }
  if (message == WM_SYSCOMMAND && (wParam == kPrevious || wParam == kNext)) return wParam;
  return 0;
}

}  // namespace

// The module is pinned before its procedure goes into the player's window:
// whoever calls that procedure later, and a host that frees the module after
// quit, must never find the code gone.
void CRUDARAPlugin::HookWindow(HWND window) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(&StaticWindowProc), &self);
  if (window != nullptr && window == passThroughWindow) {
    // Still in this window's chain from an earlier object: take it up again
    // rather than put the same procedure in twice, which would call itself.
    previousWindowProc = std::exchange(passThroughProc, nullptr);
    passThroughWindow = nullptr;
    return;
  }
  previousWindowProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
}

// Only while the plug-in's procedure is the window's current one can the
// saved one go back: a procedure put in later has saved the plug-in's and
// would be cut out of the chain. Then the plug-in's stays as a pass-through.
void CRUDARAPlugin::UnhookWindow(HWND window) {
  if (previousWindowProc == nullptr) return;
  const WNDPROC saved = std::exchange(previousWindowProc, nullptr);
  if (!IsWindow(window)) return;  // destroyed, and its chain with it
  if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&StaticWindowProc)) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
    return;
  }
  passThroughWindow = window;
  passThroughProc = saved;
}

// Without a window the ticks go to the thread that called init: the player's
// UI thread, the same one that runs the window procedure.
void CRUDARAPlugin::StartTimer() { timerId = SetTimer(nullptr, 0, kTimerInterval, &StaticTimerProc); }

void CRUDARAPlugin::StopTimer() {
  if (timerId != 0) KillTimer(nullptr, timerId);
}

// No exception of the plug-in's may unwind into the player: one inside a
// handler leaves the message to the player, as if the plug-in were not there.
LRESULT CRUDARAPlugin::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT slot = 0;
  try {
    if (message == WM_COMMAND || message == WM_SYSCOMMAND) {
      if (OnPrevNextCommand(PrevNextCommand(message, wParam), lParam, &slot)) return 0;
    } else if (message == WM_USER && lParam == player_message::kFormatTitle) {
      HookTitleFormat(wParam, lParam, &slot);
    } else if (message == WM_USER && lParam == player_message::kGetExtendedFileInfo) {
      if (AnswerExtendedFileInfo(wParam, lParam, &slot)) return slot;
    }
  } catch (...) {
  }

  const LRESULT result = CallWindowProcW(previousWindowProc, window, message, wParam, lParam);

  // The player may have quit the plug-in inside that call (at log-off it
  // does, from its window procedure): nothing of this object may be read
  // unless it is still the instance.
  CRUDARAPlugin* const plugin = instance;
  if (plugin != this) return result;
  try {
    if (message == WM_COMMAND) plugin->OnStopCommand(wParam, lParam, &slot);
  } catch (...) {
  }
  return result;
}

bool CRUDARAPlugin::OnStopCommand(WPARAM wParam, LPARAM, LRESULT*) {
  if (wParam == player_command::kStop) PostTitleRefresh(GetCurrentPlaylistFile());
  return false;
}

// Posted, not sent: the player finishes the message in hand first. Naming
// the file keeps the player from marking every playlist entry stale, which
// would make its playlist editor read each of them again.
void CRUDARAPlugin::PostTitleRefresh(const wchar_t* file) {
  ::PostTitleRefresh(descriptor.mainWindow, file != nullptr ? platform::AsUtf16(file) : nullptr);
}

// The player's callbacks carry no object; they reach the plug-in through
// `instance`, which lives from init to quit. The timer dies with quit; the
// window procedure may outlive it under a later subclass, as a pass-through.
LRESULT CALLBACK CRUDARAPlugin::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CRUDARAPlugin* const plugin = instance;
  if (plugin != nullptr && plugin->previousWindowProc != nullptr && window == plugin->descriptor.mainWindow) {
    return plugin->WindowProc(window, message, wParam, lParam);
  }
  if (window != passThroughWindow || passThroughProc == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  const WNDPROC next = passThroughProc;
  if (message == WM_NCDESTROY) {
    // The window's last message: its handle may name another window later.
    passThroughWindow = nullptr;
    passThroughProc = nullptr;
  }
  return CallWindowProcW(next, window, message, wParam, lParam);
}

void CALLBACK CRUDARAPlugin::StaticTimerProc(HWND window, UINT message, UINT_PTR timerEvent, DWORD time) {
  if (instance == nullptr) return;  // no object after quit: nothing to tick for
  try {
    instance->OnTimer(window, message, timerEvent, time);
  } catch (...) {
    // The tick is lost; the next one tries again.
  }
}
