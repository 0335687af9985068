#include "plugin/lookup_worker.h"

#include <atomic>
#include <set>
#include <utility>

#include "navigation/cue_sheet_cache.h"
#include "platform/storage_call.h"
#include "platform/utf16_view_win.h"
#include "plugin/host_records.h"
#include "tags/flac_tag_parser.h"

// What the player's thread and the worker share. Owned by both: the last one
// to let go deletes it, so a worker still inside a call to storage after
// quit finds everything it touches there. The module is pinned, so its code
// stays too.
struct LookupWorker::Shared final : platform::StorageCallGuard {
  explicit Shared(HWND mainWindow) : window(mainWindow) {}

  // After each call to storage the worker asks whether its lookup is still
  // the one wanted; a lookup for a file that no longer plays ends there.
  void BeforeCall() override {}
  void AfterCall() override {
    if (wanted.load(std::memory_order_acquire) != working) throw platform::StorageWorkAbandoned();
  }

  void Release() {
    if (owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  const HWND window;
  std::atomic<int> owners{1};
  HANDLE thread = nullptr;  // player's thread only

  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  // Guarded by `lock`: the newest request, the newest answer, and which
  // answer the player's thread is waiting for (0: none).
  std::u16string requestPath;
  uint64_t requested = 0;
  uint64_t taken = 0;  // the newest request the worker has taken up
  uint64_t answered = 0;
  bool answerReady = false;  // an answer the player's thread has not taken yet
  std::u16string answerPath;
  const CueSheet* answerSheet = nullptr;
  uint64_t awaited = 0;
  bool quitting = false;
  bool ready = false;  // libFLAC is loaded (or could not be)

  // The generation wanted now, read by the worker's guard without the lock;
  // 0 after quit, which no lookup has.
  std::atomic<uint64_t> wanted{0};
  uint64_t working = 0;  // worker only: the generation of the lookup in hand

  // Owned by the worker while a thread runs; by the player's thread without one.
  CueSheetCache cache;
};

namespace {

// Refuses every call to storage on the player's thread: a lookup that
// reached it there would freeze the player on a slow share.
class RefuseStorage final : public platform::StorageCallGuard {
 public:
  void BeforeCall() override { throw platform::StorageWorkAbandoned(); }
  void AfterCall() override {}
};
RefuseStorage refuseStorage;

class Lock {
 public:
  explicit Lock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Lock() { ReleaseSRWLockExclusive(&lock_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

// The worker: takes the newest request, looks it up without the lock, and
// hands the answer over under it. A sheet that nobody waits for any more is
// announced with the title refresh.
DWORD WINAPI LookupWorker::Run(void* parameter) {
  auto* shared = static_cast<Shared*>(parameter);
  platform::SetStorageCallGuard(shared);
  // The one-time cost of a first lookup, paid before one is asked for.
  try {
    LoadFLACLibrary();
  } catch (...) {
  }
  AcquireSRWLockExclusive(&shared->lock);
  shared->ready = true;
  WakeAllConditionVariable(&shared->changed);
  for (;;) {
    while (!shared->quitting && shared->taken == shared->requested) {
      SleepConditionVariableSRW(&shared->changed, &shared->lock, INFINITE, 0);
    }
    if (shared->quitting) break;
    shared->taken = shared->requested;
    shared->working = shared->taken;
    std::u16string path;
    bool answered = true;
    const CueSheet* sheet = nullptr;
    try {
      path = shared->requestPath;
    } catch (...) {
      answered = false;  // no memory for the path: the next request tries again
    }
    ReleaseSRWLockExclusive(&shared->lock);
    if (answered) {
      try {
        sheet = shared->cache.GetCueSheet(path.c_str());
      } catch (...) {
        answered = false;  // abandoned: nobody wants this answer
      }
    }
    AcquireSRWLockExclusive(&shared->lock);
    if (!answered) continue;
    shared->answered = shared->working;
    shared->answerReady = true;
    shared->answerPath.swap(path);
    shared->answerSheet = sheet;
    WakeAllConditionVariable(&shared->changed);
    // Under the lock: quit cannot come between the check and the post.
    if (sheet != nullptr && !shared->quitting && shared->awaited != shared->working &&
        shared->working == shared->requested) {
      PostTitleRefresh(shared->window, shared->answerPath.c_str());
    }
  }
  ReleaseSRWLockExclusive(&shared->lock);
  platform::SetStorageCallGuard(nullptr);
  shared->Release();
  return 0;
}

LookupWorker::~LookupWorker() {
  Quit();
  if (shared != nullptr) shared->Release();
}

void LookupWorker::Start(HWND window) {
  if (mode != Mode::kNotStarted) return;
  shared = new Shared(window);
  shared->owners.fetch_add(1, std::memory_order_relaxed);
  shared->thread = CreateThread(nullptr, 0, &Run, shared, 0, nullptr);
  if (shared->thread == nullptr) {
    shared->owners.fetch_sub(1, std::memory_order_relaxed);
    mode = Mode::kInline;  // lookups stay on the calling thread
    return;
  }
  mode = Mode::kThreaded;
  platform::SetStorageCallGuard(&refuseStorage);
  // Init comes long before the first file plays, as a rule; where it does
  // not, the first lookup need not load libFLAC within its short wait.
  const ULONGLONG deadline = GetTickCount64() + kWaitMilliseconds;
  Lock lock(shared->lock);
  for (ULONGLONG now = GetTickCount64(); !shared->ready && now < deadline; now = GetTickCount64()) {
    SleepConditionVariableSRW(&shared->changed, &shared->lock, static_cast<DWORD>(deadline - now), 0);
  }
}

void LookupWorker::Quit() {
  const Mode was = std::exchange(mode, Mode::kQuit);
  if (was != Mode::kThreaded) return;
  {
    Lock lock(shared->lock);
    shared->quitting = true;
    shared->wanted.store(0, std::memory_order_release);
  }
  WakeAllConditionVariable(&shared->changed);
  // Best effort: a call that the system can cancel returns at once; any
  // other returns when it returns, and the worker then leaves on its own.
  CancelSynchronousIo(shared->thread);
  CloseHandle(shared->thread);
  shared->thread = nullptr;
  platform::SetStorageCallGuard(nullptr);
}

const CueSheet* LookupWorker::Find(const char16_t* path, bool command) {
  if (path == nullptr || *path == u'\0') return nullptr;
  const std::u16string_view key(path);
  if (const auto hit = sheets.find(key); hit != sheets.end()) return hit->second;
  if (mode == Mode::kInline) return shared->cache.GetCueSheet(path);
  if (mode != Mode::kThreaded) return nullptr;  // the cache is the worker's, which may still run

  if (Collect()) {
    if (const auto hit = sheets.find(key); hit != sheets.end()) return hit->second;
  }
  if (state == State::kRunning && asked == key) {
    if (command) WaitForAnswer();
  } else if (state == State::kMiss && asked == key) {
    // A remembered miss is checked again, by attribute queries, as every
    // tick did on the player's thread; where the file's lookups have been
    // slow, the answer comes later with the refresh.
    Ask(key);
    if (!slow) WaitForAnswer();
  } else {
    Ask(key);
    WaitForAnswer();
  }
  const auto hit = sheets.find(key);
  return hit != sheets.end() ? hit->second : nullptr;
}

void LookupWorker::Ask(std::u16string_view path) {
  if (asked != path) {
    asked.assign(path);
    slow = false;
  }
  state = State::kRunning;
  ++generation;
  {
    Lock lock(shared->lock);
    shared->requestPath = asked;
    shared->requested = generation;
    shared->wanted.store(generation, std::memory_order_release);
  }
  WakeAllConditionVariable(&shared->changed);
}

bool LookupWorker::Collect() {
  std::u16string path;
  const CueSheet* sheet = nullptr;
  uint64_t answered = 0;
  {
    Lock lock(shared->lock);
    if (!shared->answerReady) return false;
    shared->answerReady = false;
    path.swap(shared->answerPath);
    sheet = shared->answerSheet;
    answered = shared->answered;
  }
  if (sheet != nullptr) sheets.emplace(std::move(path), sheet);
  if (answered == generation) state = sheet != nullptr ? State::kIdle : State::kMiss;
  return true;
}

void LookupWorker::WaitForAnswer() {
  const ULONGLONG deadline = GetTickCount64() + kWaitMilliseconds;
  bool arrived = false;
  {
    Lock lock(shared->lock);
    shared->awaited = generation;
    for (;;) {
      arrived = shared->answered >= generation;
      const ULONGLONG now = GetTickCount64();
      if (arrived || now >= deadline) break;
      SleepConditionVariableSRW(&shared->changed, &shared->lock, static_cast<DWORD>(deadline - now), 0);
    }
    shared->awaited = 0;
  }
  if (!arrived) slow = true;
  Collect();
}

void PostTitleRefresh(HWND window, const char16_t* path) {
  // Names handed to the player with a post; never freed, since the player
  // may read one after the plug-in has quit.
  static SRWLOCK namesLock = SRWLOCK_INIT;
  static auto* names = new std::set<std::u16string, std::less<>>();
  const wchar_t* name = nullptr;
  if (path != nullptr) {
    try {
      Lock lock(namesLock);
      auto known = names->find(std::u16string_view(path));
      if (known == names->end()) known = names->emplace(path).first;
      name = platform::AsWide(known->c_str());
    } catch (...) {
      name = nullptr;  // no memory for the name: every title is refreshed
    }
  }
  PostMessageW(window, WM_USER, reinterpret_cast<WPARAM>(name), player_message::kRefreshTitlesFirst);
  PostMessageW(window, WM_USER, 0, player_message::kRefreshTitlesSecond);
}
