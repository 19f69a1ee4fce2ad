#include "memory/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "boundary/host_api.h"
#include "memory/internal/live_total.h"

namespace zel::memory {
namespace {

MemoryStats stats() {
  MemoryStats s{};
  readStats(s);
  return s;
}

TEST(CountingAllocator, CountsEveryRoleByUsableSize) {
  const MemoryStats before = stats();
  void* block = allocate(100);
  ASSERT_NE(block, nullptr);
  const std::size_t size = usableSize(block);
  EXPECT_GE(size, 100u);
  MemoryStats mid = stats();
  EXPECT_EQ(mid.allocations - before.allocations, 1u);
  EXPECT_EQ(mid.bytesAllocated - before.bytesAllocated, size);

  block = reallocate(block, 1000);
  ASSERT_NE(block, nullptr);
  const std::size_t grown = usableSize(block);
  char* copy = duplicateString("zel-maps");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "zel-maps");
  const std::size_t copySize = usableSize(copy);
  release(copy);
  release(block);
  release(nullptr);  // does nothing

  const MemoryStats after = stats();
  EXPECT_EQ(after.allocations - before.allocations, 3u);
  EXPECT_EQ(after.frees - before.frees, 3u);
  EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, size + grown + copySize);
  EXPECT_EQ(after.bytesFreed - before.bytesFreed, size + grown + copySize);
  EXPECT_EQ(after.reserved[0], 0u);
  EXPECT_EQ(after.reserved[1], 0u);
}

TEST(CountingAllocator, PeakFollowsLiveBytes) {
  const std::int64_t live = liveBytes();
  void* big = allocate(1 << 20);
  ASSERT_NE(big, nullptr);
  const MemoryStats atPeak = stats();
  EXPECT_GE(static_cast<std::int64_t>(atPeak.peakLiveBytes), live + (1 << 20));
  EXPECT_GE(atPeak.liveAllocationsAtPeak, 1u);
  release(big);
  EXPECT_EQ(liveBytes(), live);
  EXPECT_EQ(stats().peakLiveBytes, atPeak.peakLiveBytes);  // a peak is never lowered
}

TEST(CountingAllocator, OperatorNewAndContainersAreCounted) {
  const std::int64_t live = liveBytes();
  const MemoryStats before = stats();
  {
    std::vector<std::string> texts(64, std::string(200, 'x'));
    auto owned = std::make_unique<int[]>(1000);
    EXPECT_GT(liveBytes(), live + 64 * 200);
  }
  EXPECT_EQ(liveBytes(), live);
  EXPECT_GT(stats().allocations, before.allocations + 64);
}

TEST(CountingAllocator, InjectedFailureHitsExactlyTheNthAllocation) {
  const std::int64_t live = liveBytes();
  failAllocationForTest(3);
  void* first = allocate(16);
  void* second = allocate(16);
  void* third = allocate(16);
  void* fourth = allocate(16);
  failAllocationForTest(0);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(third, nullptr);
  EXPECT_NE(fourth, nullptr);
  release(first);
  release(second);
  release(fourth);
  EXPECT_EQ(liveBytes(), live);

  bool thrown = false;
  [[maybe_unused]] static int* volatile escaped = nullptr;
  failAllocationForTest(1);
  try {
    std::vector<int> never(4);  // the vector's block goes through operator new
    escaped = never.data();
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  failAllocationForTest(0);
  EXPECT_TRUE(thrown);
  EXPECT_EQ(liveBytes(), live);
}

TEST(CountingAllocator, ExhaustedMemoryStaysExhaustedUntilTurnedOff) {
  const std::int64_t live = liveBytes();
  failAllocationsFromForTest(2);
  void* first = allocate(16);
  void* second = allocate(16);
  void* third = allocate(16);
  char* copy = duplicateString("text");
  void* grown = reallocate(first, 4096);
  failAllocationForTest(0);
  void* after = allocate(16);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(third, nullptr);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(grown, nullptr);
  EXPECT_NE(after, nullptr);
  // From the very next allocation on, and turned off from the same side.
  failAllocationsFromForTest(1);
  EXPECT_EQ(allocate(16), nullptr);
  EXPECT_EQ(allocate(16), nullptr);
  failAllocationsFromForTest(0);
  void* unfailed = allocate(16);
  EXPECT_NE(unfailed, nullptr);
  release(unfailed);
  release(first);
  release(after);
  EXPECT_EQ(liveBytes(), live);
}

TEST(CountingAllocator, FailedReallocationKeepsTheOldBlockCounted) {
  const std::int64_t live = liveBytes();
  char* block = static_cast<char*>(allocate(32));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "kept", 5);
  failAllocationForTest(1);
  EXPECT_EQ(reallocate(block, 4096), nullptr);
  failAllocationForTest(0);
  EXPECT_STREQ(block, "kept");
  release(block);
  EXPECT_EQ(liveBytes(), live);
}

TEST(CountingAllocator, ReallocatingFromOrToNothingCountsOnlyWhatHappened) {
  const MemoryStats before = stats();
  void* block = reallocate(nullptr, 64);  // an allocation, nothing freed
  ASSERT_NE(block, nullptr);
  const std::size_t size = usableSize(block);
  MemoryStats mid = stats();
  EXPECT_EQ(mid.allocations - before.allocations, 1u);
  EXPECT_EQ(mid.frees - before.frees, 0u);
  EXPECT_EQ(mid.bytesAllocated - before.bytesAllocated, size);
  EXPECT_EQ(mid.bytesFreed - before.bytesFreed, 0u);
  EXPECT_EQ(reallocate(block, 0), nullptr);  // a free, nothing allocated
  const MemoryStats after = stats();
  EXPECT_EQ(after.allocations - before.allocations, 1u);
  EXPECT_EQ(after.frees - before.frees, 1u);
  EXPECT_EQ(after.bytesFreed - before.bytesFreed, size);
}

TEST(CountingAllocator, ReleaseBatchCountsItsBlocksWhenFlushedOrDropped) {
  const MemoryStats before = stats();
  void* blocks[3] = {allocate(10), allocate(200), allocate(3000)};
  std::uint64_t bytes = 0;
  for (void* block : blocks) {
    ASSERT_NE(block, nullptr);
    bytes += usableSize(block);
  }
  const MemoryStats allocated = stats();
  {
    ReleaseBatch batch;
    batch.release(blocks[0]);
    batch.release(nullptr);
    batch.release(blocks[1]);
    // Nothing is counted before the flush.
    EXPECT_EQ(stats().frees, allocated.frees);
    EXPECT_EQ(stats().bytesFreed, allocated.bytesFreed);
    batch.flush();
    EXPECT_EQ(stats().frees - allocated.frees, 2u);
    batch.release(blocks[2]);
  }
  const MemoryStats after = stats();
  EXPECT_EQ(after.allocations - before.allocations, 3u);
  EXPECT_EQ(after.frees - before.frees, 3u);
  EXPECT_EQ(after.bytesFreed - before.bytesFreed, bytes);
  EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, bytes);
}

TEST(CountingAllocator, ConcurrentTotalsAreExact) {
  const MemoryStats before = stats();
  const std::int64_t live = liveBytes();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 5000; ++i) release(allocate(static_cast<std::size_t>(8 + i % 200)));
    });
  }
  for (auto& thread : threads) thread.join();
  const MemoryStats after = stats();
  // Thread start-up may allocate (and keep) a little too; ours are all there.
  EXPECT_GE(after.allocations - before.allocations, 20000u);
  EXPECT_GE(after.frees - before.frees, 20000u);
  EXPECT_LE(after.allocations - before.allocations - (after.frees - before.frees), 8u);
  EXPECT_LT(liveBytes() - live, 4096);
}

// A thread's total can be overtaken by another thread's frees between its
// own addition and its reading of the freed bytes; such a moment is no peak,
// and must not wrap round to an enormous one that is never lowered.
TEST(CountingAllocator, PeakStaysTrueWhileOtherThreadsFree) {
  const std::int64_t live = liveBytes();
  const std::uint64_t peakBefore = stats().peakLiveBytes;
  constexpr std::size_t kBig = 64 * 1024;
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 20000; ++i) release(allocate(t == 0 ? kBig : 16));
    });
  }
  for (auto& thread : threads) thread.join();
  // Each thread holds one block at a time, counted at its usable size.
  const std::uint64_t bound = static_cast<std::uint64_t>(live) + 2 * (kBig + 4096) + 4096;
  EXPECT_LE(stats().peakLiveBytes, std::max(peakBefore, bound));

  // The moment itself, which the threads above meet only by chance: frees
  // read after this thread's total that exceed it leave nothing live.
  EXPECT_EQ(internal::liveTotal(24316, 24316 + 65378), 0u);
  EXPECT_EQ(internal::liveTotal(24316 + 65536, 65536), 24316u);
  EXPECT_EQ(internal::liveTotal(0, 0), 0u);
}

}  // namespace
}  // namespace zel::memory
