// The hook on the player's main window and the plug-in's timer.
#include "plugin/rudara_plugin.h"

namespace {
constexpr UINT kTimerInterval = 200;  // ms
}

void CRUDARAPlugin::HookWindow(HWND window) {
  previousWindowProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
}

void CRUDARAPlugin::UnhookWindow(HWND window) {
  if (previousWindowProc == nullptr) return;
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousWindowProc));
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
    if (message == WM_COMMAND) {
      if (OnPrevNextCommand(wParam, lParam, &slot)) return 0;
    } else if (message == WM_USER && lParam == player_message::kFormatTitle) {
      HookTitleFormat(wParam, lParam, &slot);
    }
  } catch (...) {
  }

  const LRESULT result = CallWindowProcW(previousWindowProc, window, message, wParam, lParam);

  try {
    if (message == WM_COMMAND) OnStopCommand(wParam, lParam, &slot);
  } catch (...) {
  }
  return result;
}

bool CRUDARAPlugin::OnStopCommand(WPARAM wParam, LPARAM, LRESULT*) {
  if (wParam == player_command::kStop) PostTitleRefresh();
  return false;
}

// Posted, not sent: the player finishes the message in hand first.
void CRUDARAPlugin::PostTitleRefresh() {
  PostMessageW(descriptor.mainWindow, WM_USER, 0, player_message::kRefreshTitlesFirst);
  PostMessageW(descriptor.mainWindow, WM_USER, 0, player_message::kRefreshTitlesSecond);
}

// The player's callbacks carry no object; they reach the plug-in through
// `instance`, which lives from init to quit, longer than the hook and timer.
LRESULT CALLBACK CRUDARAPlugin::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return instance->WindowProc(window, message, wParam, lParam);
}

void CALLBACK CRUDARAPlugin::StaticTimerProc(HWND window, UINT message, UINT_PTR timerEvent, DWORD time) {
  try {
    instance->OnTimer(window, message, timerEvent, time);
  } catch (...) {
    // The tick is lost; the next one tries again.
  }
}
