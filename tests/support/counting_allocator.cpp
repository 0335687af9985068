#include "tests/support/counting_allocator.h"

#include <cstdlib>
#include <new>

namespace counting_allocator {

std::atomic<long> allocations{0}, liveBlocks{0}, liveBytes{0}, liveChunkBytes{0};

namespace {

// Each block carries its size in 16 bytes in front of it, which keeps
// malloc's alignment.
constexpr std::size_t kSizeHeader = 16;

// The chunk that 64-bit glibc takes for a request: 8 bytes of its own, in
// steps of 16, at least 32.
long ChunkSize(std::size_t size) {
  const std::size_t chunk = (size + 8 + 15) & ~std::size_t{15};
  return static_cast<long>(chunk < 32 ? 32 : chunk);
}

}  // namespace
}  // namespace counting_allocator

using namespace counting_allocator;

// Out of line: inlined, g++ takes the free for a mismatch with the new.
[[gnu::noinline]] void* operator new(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kSizeHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  allocations.fetch_add(1, std::memory_order_relaxed);
  liveBlocks.fetch_add(1, std::memory_order_relaxed);
  liveBytes.fetch_add(static_cast<long>(size), std::memory_order_relaxed);
  liveChunkBytes.fetch_add(ChunkSize(size), std::memory_order_relaxed);
  return block + kSizeHeader;
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return ::operator new(size); }
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kSizeHeader;
  liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  const std::size_t size = *reinterpret_cast<std::size_t*>(block);
  liveBytes.fetch_sub(static_cast<long>(size), std::memory_order_relaxed);
  liveChunkBytes.fetch_sub(ChunkSize(size), std::memory_order_relaxed);
  std::free(block);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept { ::operator delete(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { ::operator delete(p); }
