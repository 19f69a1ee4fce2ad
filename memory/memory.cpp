#include "memory/memory.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "boundary/compiler_hints.h"
#include "boundary/host_api.h"
#include "memory/internal/live_total.h"

namespace zel::memory {
namespace {

// The six process-wide counters. Totals are exact atomic sums; the two peak
// values are plain atomic stores and may lag when threads allocate at once.
struct Counters {
  std::atomic<std::uint64_t> peakLiveBytes{0};
  std::atomic<std::uint64_t> liveAllocationsAtPeak{0};
  std::atomic<std::uint64_t> bytesAllocated{0};
  std::atomic<std::uint64_t> allocations{0};
  std::atomic<std::uint64_t> bytesFreed{0};
  std::atomic<std::uint64_t> frees{0};
};

constinit Counters counters;
// Allocations left before the injected failure, with kKeepFailing set when
// every allocation from that one on fails too; 0 when nothing is injected.
constexpr std::uint64_t kKeepFailing = std::uint64_t{1} << 63;
constinit std::atomic<std::uint64_t> failCountdown{0};

std::size_t runtimeUsableSize(const void* block) noexcept {
  if (block == nullptr) return 0;
#if defined(_WIN32)
  return _msize(const_cast<void*>(block));
#else
  return malloc_usable_size(const_cast<void*>(block));
#endif
}

// On i686 a plain 64-bit atomic load or store goes through the x87 unit and
// stalls on store forwarding; with SSE2 it is one movq. Windows has required
// SSE2 since Windows 8, so these few counter functions may use it. The
// entry points that call them are marked too, so that they are inlined
// there (a function is only inlined into one of the same target).
#define ZEL_COUNTER_CODE ZEL_SSE2_CODE

// True when the failure-injection hook says this allocation must fail.
ZEL_COUNTER_CODE bool injectedFailure() noexcept {
  std::uint64_t left = failCountdown.load(std::memory_order_relaxed);
  while (left != 0) {
    // Exhausted for good: the countdown stays where it fired.
    if (left == (kKeepFailing | 1)) return true;
    if (failCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
      return (left & ~kKeepFailing) == 1;
    }
  }
  return false;
}

// `allocated` and `allocationCount` are the totals just returned by this
// thread's own additions, so only the other two totals are read again (and
// may already hold frees of blocks that those totals do not).
ZEL_COUNTER_CODE ZEL_ALWAYS_INLINE void updatePeak(std::uint64_t allocated,
                                                   std::uint64_t allocationCount) noexcept {
  const std::uint64_t live =
      internal::liveTotal(allocated, counters.bytesFreed.load(std::memory_order_relaxed));
  if (live > counters.peakLiveBytes.load(std::memory_order_relaxed)) {
    counters.peakLiveBytes.store(live, std::memory_order_relaxed);
    counters.liveAllocationsAtPeak.store(
        internal::liveTotal(allocationCount, counters.frees.load(std::memory_order_relaxed)),
        std::memory_order_relaxed);
  }
}

ZEL_COUNTER_CODE ZEL_ALWAYS_INLINE void countAllocation(std::size_t bytes) noexcept {
  const std::uint64_t allocated =
      counters.bytesAllocated.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  const std::uint64_t allocationCount =
      counters.allocations.fetch_add(1, std::memory_order_relaxed) + 1;
  updatePeak(allocated, allocationCount);
}

ZEL_COUNTER_CODE void countFree(std::size_t bytes) noexcept {
  counters.bytesFreed.fetch_add(bytes, std::memory_order_relaxed);
  counters.frees.fetch_add(1, std::memory_order_relaxed);
}

ZEL_COUNTER_CODE ZEL_ALWAYS_INLINE void* countingAllocate(void*, std::size_t size) noexcept {
  void* block = injectedFailure() ? nullptr : std::malloc(size);
  countAllocation(runtimeUsableSize(block));
  return block;
}

ZEL_COUNTER_CODE void countingRelease(void*, void* block) noexcept {
  if (block == nullptr) return;
  const std::size_t size = runtimeUsableSize(block);
  std::free(block);
  countFree(size);
}

ZEL_COUNTER_CODE void* countingReallocate(void*, void* block, std::size_t size) noexcept {
  // Without an old block this is an allocation, and nothing is freed.
  if (block == nullptr) return countingAllocate(nullptr, size);
  const std::size_t oldSize = runtimeUsableSize(block);
  const bool fails = injectedFailure();
  void* result = fails ? nullptr : std::realloc(block, size);
  if (result == nullptr) {
    if (fails || size != 0) {
      // A failed reallocation leaves the old block alive: count it as kept.
      counters.allocations.fetch_add(1, std::memory_order_relaxed);
      counters.frees.fetch_add(1, std::memory_order_relaxed);
    } else {
      // Resizing to nothing freed the block and allocated nothing.
      countFree(oldSize);
    }
    return nullptr;
  }
  countFree(oldSize);
  countAllocation(runtimeUsableSize(result));
  return result;
}

ZEL_COUNTER_CODE char* countingDuplicateString(void*, const char* text) noexcept {
  if (text == nullptr) return nullptr;
  const std::size_t length = std::strlen(text);
  char* copy = injectedFailure() ? nullptr : static_cast<char*>(std::malloc(length + 1));
  if (copy != nullptr) std::memcpy(copy, text, length + 1);
  countAllocation(runtimeUsableSize(copy));
  return copy;
}

std::size_t countingUsableSize(void*, const void* block) noexcept {
  return runtimeUsableSize(block);
}

// Constant-initialised, so it is in place before any allocation is served,
// whatever the order of static initialisation.
constinit const AllocationTable table{countingAllocate,   countingRelease,
                                      countingReallocate, countingDuplicateString,
                                      countingUsableSize, nullptr};

}  // namespace

const AllocationTable& allocationTable() noexcept {
  return table;
}

ZEL_COUNTER_CODE void* allocate(std::size_t size) noexcept {
  return table.allocate ? table.allocate(table.context, size) : std::malloc(size);
}

ZEL_COUNTER_CODE void release(void* block) noexcept {
  if (table.release) {
    table.release(table.context, block);
  } else {
    std::free(block);
  }
}

ZEL_COUNTER_CODE void* reallocate(void* block, std::size_t size) noexcept {
  return table.reallocate ? table.reallocate(table.context, block, size)
                          : std::realloc(block, size);
}

char* duplicateString(const char* text) noexcept {
  return table.duplicateString ? table.duplicateString(table.context, text) : strdup(text);
}

std::size_t usableSize(const void* block) noexcept {
  return table.usableSize ? table.usableSize(table.context, block) : runtimeUsableSize(block);
}

void ReleaseBatch::release(void* block) noexcept {
  if (block == nullptr) return;
  bytes_ += runtimeUsableSize(block);
  ++blocks_;
  std::free(block);
}

ZEL_COUNTER_CODE void ReleaseBatch::flush() noexcept {
  if (blocks_ == 0) return;
  counters.bytesFreed.fetch_add(bytes_, std::memory_order_relaxed);
  counters.frees.fetch_add(blocks_, std::memory_order_relaxed);
  bytes_ = 0;
  blocks_ = 0;
}

void readStats(MemoryStats& stats) noexcept {
  stats.peakLiveBytes = counters.peakLiveBytes.load(std::memory_order_relaxed);
  stats.liveAllocationsAtPeak = counters.liveAllocationsAtPeak.load(std::memory_order_relaxed);
  stats.bytesAllocated = counters.bytesAllocated.load(std::memory_order_relaxed);
  stats.allocations = counters.allocations.load(std::memory_order_relaxed);
  stats.bytesFreed = counters.bytesFreed.load(std::memory_order_relaxed);
  stats.frees = counters.frees.load(std::memory_order_relaxed);
  stats.reserved[0] = 0;
  stats.reserved[1] = 0;
}

std::int64_t liveBytes() noexcept {
  return static_cast<std::int64_t>(counters.bytesAllocated.load(std::memory_order_relaxed) -
                                   counters.bytesFreed.load(std::memory_order_relaxed));
}

void failAllocationForTest(std::uint64_t nth) noexcept {
  failCountdown.store(nth & ~kKeepFailing, std::memory_order_relaxed);
}

void failAllocationsFromForTest(std::uint64_t nth) noexcept {
  nth &= ~kKeepFailing;
  failCountdown.store(nth != 0 ? nth | kKeepFailing : 0, std::memory_order_relaxed);
}

}  // namespace zel::memory
