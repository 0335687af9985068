#include "platform/storage_call.h"

namespace platform {
namespace {

thread_local StorageCallGuard* threadGuard = nullptr;

}  // namespace

void SetStorageCallGuard(StorageCallGuard* guard) { threadGuard = guard; }

void BeginStorageCall() {
  if (threadGuard != nullptr) threadGuard->BeforeCall();
}

void EndStorageCall() {
  if (threadGuard != nullptr) threadGuard->AfterCall();
}

}  // namespace platform
