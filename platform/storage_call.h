// Every call that may wait for storage passes here: opening and reading a
// file, an attribute query, a folder listing, loading a library, and each
// call into libFLAC, which reads files itself. On a network share or a disk
// that has spun down each such call may take seconds, so one place tells
// which thread makes them: the plug-in forbids them on the player's thread
// and stops a worker's lookup that is no longer wanted.
#pragma once

#include <stdexcept>

namespace platform {

// What a thread says of its calls to storage. Owned by whoever sets it;
// it must outlive its use on that thread.
class StorageCallGuard {
 public:
  // Before each call; may throw, and the call is then not made.
  virtual void BeforeCall() = 0;
  // After each call has returned and its result is held where an exception
  // would release it; may throw to abandon the work in hand.
  virtual void AfterCall() = 0;

 protected:
  ~StorageCallGuard() = default;
};

// Thrown by a guard: the work in hand is no longer wanted, or this thread
// must not wait for storage at all. Nothing of the work may be remembered as
// an answer, and nothing on the way out may take it for a failed read.
class StorageWorkAbandoned : public std::runtime_error {
 public:
  StorageWorkAbandoned() : std::runtime_error("work on storage abandoned") {}
};

// The guard of the calling thread; null (the default) checks nothing.
void SetStorageCallGuard(StorageCallGuard* guard);

void BeginStorageCall();
void EndStorageCall();

}  // namespace platform
