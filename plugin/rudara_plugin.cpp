#include "plugin/rudara_plugin.h"

namespace {
// "%d" of any 32-bit value fits, so the number buffer never moves and a
// pointer to it handed to the player stays recognisable.
constexpr std::size_t kNumberTextCapacity = 16;
}  // namespace

CRUDARAPlugin::CRUDARAPlugin() {
  numberText.reserve(kNumberTextCapacity);
}

bool CRUDARAPlugin::Init() {
  BuildDescription();
  lookups.Start(descriptor.mainWindow);
  // A repeated init must neither hook the window again (the plug-in would
  // save its own procedure as the player's) nor start a second timer that
  // nobody could stop.
  if (previousWindowProc == nullptr) HookWindow(descriptor.mainWindow);
  if (timerId == 0) StartTimer();
  return true;
}

void CRUDARAPlugin::Config() { ShowWindow(ownWindow, SW_SHOW); }

// Returns at once also while the worker waits for storage: it is told to
// leave, and leaves on its own.
void CRUDARAPlugin::Quit() {
  StopTimer();
  UnhookWindow(descriptor.mainWindow);
  lookups.Quit();
}

void CRUDARAPlugin::TakeOverFrom(CRUDARAPlugin& earlier) {
  descriptor.mainWindow = earlier.descriptor.mainWindow;
  descriptor.moduleHandle = earlier.descriptor.moduleHandle;
  previousWindowProc = earlier.previousWindowProc;
  timerId = earlier.timerId;
  earlier.previousWindowProc = nullptr;
  earlier.timerId = 0;
  earlier.lookups.Quit();
  lookups.Start(descriptor.mainWindow);
}
