#include "binding/internal/cell_pools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "binding/internal/page_pool.h"
#include "binding/internal/value_context.h"
#include "binding/value.h"
#include "binding/value_records.h"
#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

// Cells of one size taken until the 144-byte area is used up; returns them.
std::vector<void*> fillArea(CellPools& pools, std::size_t bytes) {
  std::vector<void*> cells;
  for (;;) {
    void* cell = pools.allocate(bytes);
    if (!pools.inAreaForTest(cell, bytes)) {
      pools.release(cell, bytes);
      return cells;
    }
    cells.push_back(cell);
  }
}

TEST(CellPoolsTest, RequestsAreRoundedUpToTheirPool) {
  const struct {
    int line;
    std::size_t bytes;
    std::size_t cell;
  } rows[] = {
      {__LINE__, 0, 4},   {__LINE__, 1, 4},   {__LINE__, 4, 4},    {__LINE__, 5, 8},
      {__LINE__, 9, 12},  {__LINE__, 12, 12}, {__LINE__, 13, 16},  {__LINE__, 69, 72},
      {__LINE__, 72, 72}, {__LINE__, 73, 0},  {__LINE__, 4096, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(CellPools::cellSizeFor(row.bytes), row.cell);
  }

  CellPools pools;
  void* nine = pools.allocate(9);
  EXPECT_EQ(pools.cellsInUseForTest(12), 1u) << "9 bytes come from the 12-byte pool";
  EXPECT_EQ(pools.cellsInUseForTest(8), 0u);
  EXPECT_EQ(pools.cellsInUseForTest(16), 0u);
  void* largest = pools.allocate(72);
  EXPECT_EQ(pools.cellsInUseForTest(72), 1u);
  EXPECT_TRUE(pools.inAreaForTest(largest, 72));
  pools.release(nine, 9);
  pools.release(largest, 72);
  EXPECT_EQ(pools.cellsInUseForTest(12), 0u);
  EXPECT_EQ(pools.cellsInUseForTest(72), 0u);
}

TEST(CellPoolsTest, TheAreaServesFirstAndStaysWhenEmptied) {
  CellPools pools;
  const std::vector<void*> cells = fillArea(pools, 12);
#if UINTPTR_MAX == 0xFFFFFFFFu
  EXPECT_EQ(cells.size(), 10u) << "cells 2 to 11 of 144 bytes, past the 16-byte header";
#endif
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(pools.pageCountForTest(12), 0u);
  for (void* cell : cells) pools.release(cell, 12);
  EXPECT_EQ(pools.cellsInUseForTest(12), 0u);
  void* again = pools.allocate(12);
  EXPECT_TRUE(pools.inAreaForTest(again, 12)) << "the area is kept once empty";
  EXPECT_EQ(again, cells.back()) << "the last freed cell is served first";
  pools.release(again, 12);
}

TEST(CellPoolsTest, APageWhoseCellsAreAllFreeGoesBack) {
  CellPools pools;
  const std::vector<void*> area = fillArea(pools, 16);
  const std::size_t freePages = PagePool::instance().freePageCountForTest();
  const std::size_t reservations = PagePool::instance().reservationCountForTest();
  void* first = pools.allocate(16);
  void* second = pools.allocate(16);
  EXPECT_EQ(pools.pageCountForTest(16), 1u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) / PagePool::kPageBytes,
            reinterpret_cast<std::uintptr_t>(second) / PagePool::kPageBytes);
  pools.release(first, 16);
  EXPECT_EQ(pools.pageCountForTest(16), 1u) << "one cell still in use";
  pools.release(second, 16);
  EXPECT_EQ(pools.pageCountForTest(16), 0u);
  EXPECT_EQ(PagePool::instance().freePageCountForTest(), freePages);
  EXPECT_EQ(PagePool::instance().reservationCountForTest(), reservations);
  for (void* cell : area) pools.release(cell, 16);
}

// A new page hands out its cells in address order; a freed cell is served
// before the page's unused ones, and the page fills exactly at its capacity.
TEST(CellPoolsTest, APageServesFreedCellsFirstAndFillsToItsLastCell) {
  for (const std::size_t bytes : {4u, 12u, 16u, 24u, 72u}) {
    SCOPED_TRACE(bytes);
    CellPools pools;
    const std::vector<void*> area = fillArea(pools, bytes);
    constexpr std::size_t kHeader = sizeof(CellPools::PageHeader);  // 16 bytes on 32-bit builds
    const std::size_t capacity = PagePool::kPageBytes / bytes - (kHeader + bytes - 1) / bytes;
    std::vector<unsigned char*> page;
    for (std::size_t i = 0; i < capacity; ++i) {
      page.push_back(static_cast<unsigned char*>(pools.allocate(bytes)));
      if (i > 0) {
        ASSERT_EQ(page[i], page[i - 1] + bytes) << "cell " << i;
      }
    }
    EXPECT_EQ(pools.pageCountForTest(bytes), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(page.front()) / PagePool::kPageBytes,
              reinterpret_cast<std::uintptr_t>(page.back()) / PagePool::kPageBytes);

    // Full: the next cell opens a second page. Freeing a cell of the full
    // page lists it again, and that cell is the next one served.
    void* second = pools.allocate(bytes);
    EXPECT_EQ(pools.pageCountForTest(bytes), 2u);
    pools.release(page[capacity / 2], bytes);
    pools.release(second, bytes);
    EXPECT_EQ(pools.pageCountForTest(bytes), 1u);
    EXPECT_EQ(pools.allocate(bytes), page[capacity / 2]);
    EXPECT_EQ(pools.pageCountForTest(bytes), 1u);
    EXPECT_EQ(pools.cellsInUseForTest(bytes), area.size() + capacity);

    for (unsigned char* cell : page) pools.release(cell, bytes);
    for (void* cell : area) pools.release(cell, bytes);
    EXPECT_EQ(pools.cellsInUseForTest(bytes), 0u);
    EXPECT_EQ(pools.pageCountForTest(bytes), 0u);
  }
}

TEST(CellPoolsTest, CellsAreDistinctAlignedAndReusedInAnyOrder) {
  CellPools pools;
  constexpr std::size_t kBytes = 12;
  std::vector<unsigned char*> cells;
  for (std::size_t i = 0; i < 2000; ++i) {  // the area and several full pages
    auto* cell = static_cast<unsigned char*>(pools.allocate(kBytes));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(cell) % CellPools::kCellStep, 0u);
    std::memset(cell, static_cast<int>(i & 0xFF), kBytes);
    cells.push_back(cell);
  }
  EXPECT_EQ(pools.cellsInUseForTest(kBytes), cells.size());
  const std::size_t pages = pools.pageCountForTest(kBytes);
  EXPECT_GE(pages, 5u);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    unsigned char pattern[kBytes];
    std::memset(pattern, static_cast<int>(i & 0xFF), kBytes);
    ASSERT_EQ(std::memcmp(cells[i], pattern, kBytes), 0) << "cell " << i << " overlaps another";
  }
  // Free every other cell: full pages go back to the list of pages with room
  // and serve the next requests before any new page is taken.
  for (std::size_t i = 0; i < cells.size(); i += 2) pools.release(cells[i], kBytes);
  EXPECT_EQ(pools.cellsInUseForTest(kBytes), cells.size() / 2);
  std::vector<unsigned char*> refill;
  for (std::size_t i = 0; i < cells.size() / 2; ++i) {
    refill.push_back(static_cast<unsigned char*>(pools.allocate(kBytes)));
  }
  EXPECT_EQ(pools.pageCountForTest(kBytes), pages);
  std::vector<unsigned char*> freed;
  for (std::size_t i = 0; i < cells.size(); i += 2) freed.push_back(cells[i]);
  std::sort(freed.begin(), freed.end());
  std::sort(refill.begin(), refill.end());
  EXPECT_EQ(freed, refill) << "exactly the freed cells were handed out again";
  for (std::size_t i = 1; i < cells.size(); i += 2) pools.release(cells[i], kBytes);
  for (unsigned char* cell : refill) pools.release(cell, kBytes);
  EXPECT_EQ(pools.cellsInUseForTest(kBytes), 0u);
  EXPECT_EQ(pools.pageCountForTest(kBytes), 0u);
}

TEST(CellPoolsTest, LargeRequestsAndTheUnpooledModeUseTheGeneralHeap) {
  const std::int64_t before = memory::liveBytes();
  CellPools pools;
  void* large = pools.allocate(100);
  EXPECT_GE(memory::liveBytes() - before, 100);
  pools.release(large, 100);
  EXPECT_EQ(memory::liveBytes(), before);

  CellPools heap(false);
  void* cell = heap.allocate(12);
  EXPECT_GE(memory::liveBytes() - before, 12);
  EXPECT_EQ(heap.cellsInUseForTest(12), 0u);
  heap.release(cell, 12);
  EXPECT_EQ(memory::liveBytes(), before);
}

TEST(CellPoolsTest, ValueRecordsComeFromTheirContextsPools) {
  BindingValue value;
  value.makeCollection();
  const CellPools& pools = zel::binding::internal::NodeAccess::context(value)->cellsForTest();
  constexpr std::size_t kArray = sizeof(ArrayRecord);  // 12 bytes in the 32-bit build
  constexpr std::size_t kEnum = sizeof(EnumRecord);    // 8 bytes
  EXPECT_EQ(pools.cellsInUseForTest(kArray), 1u) << "the collection record";
  value.append().setEnum(1, 2);
  value.append().setBlob("ab", 2);
  value.append().field("k");
  EXPECT_EQ(pools.cellsInUseForTest(kEnum), 1u) << "the enum record";
  EXPECT_EQ(pools.cellsInUseForTest(kArray), 3u) << "collection, blob and structure records";
  value.reset();
  EXPECT_EQ(pools.cellsInUseForTest(kEnum), 0u);
  EXPECT_EQ(pools.cellsInUseForTest(kArray), 0u);

  // The benchmarks' switch: contexts made while it is off use the heap.
  ValueContext::setCellPoolsEnabledForTest(false);
  BindingValue unpooled;
  unpooled.makeCollection();
  ValueContext::setCellPoolsEnabledForTest(true);
  EXPECT_EQ(zel::binding::internal::NodeAccess::context(unpooled)->cellsForTest().cellsInUseForTest(
                kArray),
            0u);
}

}  // namespace
}  // namespace zel::binding::internal
