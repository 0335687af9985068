// What the player's process grows by when the plug-in has looked up 1,000
// albums with cue sheets: the cache keeps every sheet until the plug-in
// quits. A measurement, printed; only a runaway growth fails. The albums are
// hard links to one WavPack file with a 12-track APEv2 cue sheet, written by
// make_bad_inputs.py: each is an album of its own to the plug-in, which
// caches by path.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/integration/integration_support.h"
#include "tools/host_simulator/player_host.h"

using host_simulator::EventKind;

namespace {

constexpr int kAlbums = 1000;

std::wstring InputFile(const std::wstring& name) {
  return integration::FolderFile("SHEETWALK_BAD_INPUTS", name);
}

std::wstring Album(int n) {
  wchar_t name[32];
  swprintf(name, 32, L"albums\\Album %04d.wv", n);
  return InputFile(name);
}

struct Memory {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  SIZE_T heapBytes = 0;  // busy blocks of every heap of the process
  SIZE_T heapBlocks = 0;
};

Memory Measure() {
  Memory memory;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    memory.privateBytes = counters.PrivateUsage;
    memory.workingSet = counters.WorkingSetSize;
  }
  HANDLE heaps[256];
  const DWORD count = GetProcessHeaps(256, heaps);
  for (DWORD i = 0; i < count && i < 256; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heaps[i], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
        memory.heapBytes += entry.cbData;
        ++memory.heapBlocks;
      }
    }
    HeapUnlock(heaps[i]);
  }
  return memory;
}

double Growth(SIZE_T before, SIZE_T after) {
  return static_cast<double>(after) - static_cast<double>(before);
}

class MemoryGrowthTest : public integration::PluginTest {
 protected:
  MemoryGrowthTest() : PluginTest("SHEETWALK_BAD_INPUTS", "the albums' folder") {}
};

TEST_F(MemoryGrowthTest, ThousandAlbumsLookedUp) {
  // 4:10 lies in the second cue track (tracks every 4 minutes).
  constexpr int kPosition = 250000;
  const std::wstring kFormat = L"%subnum%/%subnumtotal% %subtitle%";
  const std::wstring kExpected = L"2/12 Standard number 2";
  auto lookUp = [&](const std::wstring& album) {
    host.SetPlaylist({album});
    host.SetPosition(kPosition);
    const std::wstring title = host.FormatTitle(album.c_str(), kFormat);
    EXPECT_EQ(host.Count(EventKind::kViolation), 0u) << host.Log();
    host.ClearEvents();
    return title;
  };

  // The first lookup of all sets up what the plug-in and the system keep for
  // good (libFLAC is not loaded: every album has an APEv2 cue sheet).
  ASSERT_EQ(lookUp(InputFile(L"album12.wv")), kExpected);
  const Memory before = Measure();
  for (int n = 1; n <= kAlbums; ++n) {
    ASSERT_EQ(lookUp(Album(n)), kExpected) << "album " << n;
  }
  const Memory after = Measure();
  // Looked up again, all come from the cache and nothing grows.
  for (int n = 1; n <= kAlbums; ++n) ASSERT_EQ(lookUp(Album(n)), kExpected) << "album " << n;
  const Memory again = Measure();

  const double heap = Growth(before.heapBytes, after.heapBytes);
  std::printf(
      "  after %d albums: heap in use %+.0f bytes in %+.0f blocks (%.0f bytes an album), "
      "private bytes %+.0f, working set %+.0f\n"
      "  the same albums again: heap in use %+.0f bytes, private bytes %+.0f, working set %+.0f\n"
      "  (before: heap in use %.0f, private bytes %.0f, working set %.0f)\n",
      kAlbums, heap, Growth(before.heapBlocks, after.heapBlocks), heap / kAlbums,
      Growth(before.privateBytes, after.privateBytes), Growth(before.workingSet, after.workingSet),
      Growth(after.heapBytes, again.heapBytes), Growth(after.privateBytes, again.privateBytes),
      Growth(after.workingSet, again.workingSet), static_cast<double>(before.heapBytes),
      static_cast<double>(before.privateBytes), static_cast<double>(before.workingSet));
  // A sheet of 12 tracks holds a few kilobytes; only a runaway fails here.
  EXPECT_LT(heap / kAlbums, 64.0 * 1024);
  EXPECT_LT(Growth(after.heapBytes, again.heapBytes), 64.0 * 1024) << "hits must not grow the heap";
}

}  // namespace
