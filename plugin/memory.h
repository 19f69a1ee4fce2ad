// The counting allocator: one process-wide table of allocation functions
// behind every allocation of the library (the global operator new/delete and
// the SDK's own calls below). Counters are process-wide, 64-bit and atomic;
// the host reads them through the getMemoryStats entry point.
//
//   void* p = zel::memory::allocate(32);   // counted
//   zel::memory::release(p);                // counted
//
// Blocks from these functions are released only with zel::memory::release.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

struct MemoryStats;

namespace memory {

// The five functions of the process-wide table plus its context pointer.
// An empty entry falls back to the runtime library's function of that role.
struct AllocationTable {
  void* (*allocate)(void* context, std::size_t size);
  void (*release)(void* context, void* block);
  void* (*reallocate)(void* context, void* block, std::size_t size);
  char* (*duplicateString)(void* context, const char* text);
  std::size_t (*usableSize)(void* context, const void* block);
  void* context;
};

void* allocate(std::size_t size) noexcept;
void release(void* block) noexcept;
void* reallocate(void* block, std::size_t size) noexcept;
char* duplicateString(const char* text) noexcept;
std::size_t usableSize(const void* block) noexcept;

// The table in use: the counting functions, installed once per process
// before the first allocation is served.
const AllocationTable& allocationTable() noexcept;

// Copies the six counters (one atomic load each, no snapshot) into stats.
void readStats(MemoryStats& stats) noexcept;

// Live bytes right now: bytes allocated minus bytes freed.
std::int64_t liveBytes() noexcept;

// Test hook: the Nth allocation from now (1 = the next one) fails, as if the
// runtime library were out of memory; 0 turns failures off.
void failAllocationForTest(std::uint64_t nth) noexcept;

}  // namespace memory
}  // namespace zel
