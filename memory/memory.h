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

// Frees blocks like release(), but adds them to the two free counters with
// one atomic addition each when it is flushed or goes out of scope, instead
// of two per block. For loops that free many blocks and allocate none, such
// as the teardown of a value tree; the totals are the same.
//
//   memory::ReleaseBatch batch;
//   for (void* block : blocks) batch.release(block);
//   // counted here
class ReleaseBatch {
 public:
  ReleaseBatch() noexcept = default;
  ReleaseBatch(const ReleaseBatch&) = delete;
  ReleaseBatch& operator=(const ReleaseBatch&) = delete;
  ~ReleaseBatch() { flush(); }

  void release(void* block) noexcept;
  void flush() noexcept;

 private:
  std::uint64_t bytes_ = 0;
  std::uint64_t blocks_ = 0;
};

// The table in use: the counting functions, installed once per process
// before the first allocation is served.
const AllocationTable& allocationTable() noexcept;

// Copies the six counters (one atomic load each, no snapshot) into stats.
void readStats(MemoryStats& stats) noexcept;

// Live bytes right now: bytes allocated minus bytes freed.
std::int64_t liveBytes() noexcept;

// Test hook: the Nth allocation from now (1 = the next one) fails, as if the
// runtime library were out of memory; 0 turns failures off (both hooks).
void failAllocationForTest(std::uint64_t nth) noexcept;
// The same, but memory stays exhausted: the Nth allocation and every one
// after it fail until failAllocationForTest(0), as in a process that has used
// up its address space, where the code that cleans up after a failure finds
// no memory either.
void failAllocationsFromForTest(std::uint64_t nth) noexcept;

}  // namespace memory
}  // namespace zel
