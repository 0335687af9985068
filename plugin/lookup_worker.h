// The plug-in's one thread for the file system. On a network share, a disk
// that has spun down or a cloud folder, each call to storage may take
// seconds, and the player's user-interface thread, which also paints every
// window, must never wait for one. So every cue sheet lookup runs on this
// worker; the player's thread asks for the playing file's sheet, waits for
// the answer a short while at most, and otherwise answers from what it
// already knows. A sheet that arrives later is announced with the player's
// title refresh, so that the player asks again.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "cuesheet/cue_sheet.h"

class LookupWorker {
 public:
  LookupWorker() = default;
  ~LookupWorker();
  LookupWorker(const LookupWorker&) = delete;
  LookupWorker& operator=(const LookupWorker&) = delete;

  // Starts the thread; `window` is the player's main window, where a late
  // sheet's refresh goes. Without a thread (none could be started) every
  // lookup runs on the calling thread, as it did before there was one.
  void Start(HWND window);

  // Signals the thread to leave and returns at once: it never waits for a
  // call to storage to end. Sheets stay valid until the object goes.
  void Quit();

  // How long the player's thread waits for a lookup it has started.
  static constexpr DWORD kWaitMilliseconds = 50;

  // The cue sheet of `path` (the playing file, zero-terminated) as far as it
  // is known now, or null. The first request for a file starts its lookup
  // and waits for it at most kWaitMilliseconds; a remembered miss is checked
  // again the same way (without the wait where the file's lookups have been
  // slower than it). A `command` (Previous, Next) also waits while a lookup
  // is running. A sheet found is answered from memory from then on, with no
  // allocation. The sheet stays valid until the object goes.
  // Player's thread only.
  const CueSheet* Find(const char16_t* path, bool command);

 private:
  struct Shared;
  enum class Mode { kNotStarted, kThreaded, kInline, kQuit };
  enum class State { kIdle, kRunning, kMiss };

  static DWORD WINAPI Run(void* shared);

  void Ask(std::u16string_view path);
  bool Collect();  // takes a finished answer; true when one was taken
  void WaitForAnswer();

  // Owned by the player's thread and the worker together; the last one to
  // let go deletes it. The worker may outlive this object after quit.
  Shared* shared = nullptr;
  Mode mode = Mode::kNotStarted;

  // Player's thread only.
  std::map<std::u16string, const CueSheet*, std::less<>> sheets;  // every sheet handed over, by path
  std::u16string asked;    // the path of the last lookup asked for
  uint64_t generation = 0; // of that lookup
  State state = State::kIdle;
  bool slow = false;       // a lookup of `asked` has outlasted the wait
};

// The player's title refresh, 247 then 243, posted to `window`. wParam of
// 247 names the file whose titles are stale (null: every file's). The
// player reads the name after the post, so it is copied into memory that
// is never freed; the same name is copied once. Any thread.
void PostTitleRefresh(HWND window, const char16_t* path);
