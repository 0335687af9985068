// The allocations of a whole program, counted by the global operator new and
// delete that counting_allocator.cpp replaces; only the programs that count
// link that file. Under a memory checker that puts its own operator new in
// place of this one nothing is counted, and a check that needs the counts
// reports a skip.
#pragma once

#include <atomic>

namespace counting_allocator {

extern std::atomic<long> allocations;  // every operator new since the program started
// The blocks alive now, the bytes they were asked for, and the bytes that
// 64-bit glibc's allocator would hold for them.
extern std::atomic<long> liveBlocks, liveBytes, liveChunkBytes;

}  // namespace counting_allocator
