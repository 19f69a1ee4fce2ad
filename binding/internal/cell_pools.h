// CellPools: the fixed-size cells from which one value context takes the
// small records of its blobs, enums, collections and structures. There are 18
// pools, one per cell size from 4 to 72 bytes in steps of 4; a request is
// rounded up to a multiple of 4 and served by the pool of that size.
//
//   void* record = pools.allocate(12);   // a cell of the 12-byte pool
//   pools.release(record, 12);           // the same size given back
//
// Each pool starts with a 144-byte area inside the pool table (created on the
// first allocation) and continues with 4096-byte pages from the process-wide
// PagePool. Every area and page begins with a 16-byte header; a free cell
// holds the 16-bit index of the next free cell, 0 ending the list. A page whose
// cells are all free goes straight back to the PagePool; the area stays.
// Requests above 72 bytes come from zel::memory directly. Not thread-safe: a
// context is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::binding::internal {

class CellPools {
 public:
  static constexpr std::size_t kPoolCount = 18;
  static constexpr std::size_t kCellStep = 4;
  static constexpr std::size_t kLargestCell = kPoolCount * kCellStep;  // 72
  static constexpr std::size_t kAreaBytes = 144;

  // `pooled` false serves every cell from zel::memory (for comparisons).
  explicit CellPools(bool pooled = true) noexcept : pooled_(pooled) {}
  CellPools(const CellPools&) = delete;
  CellPools& operator=(const CellPools&) = delete;
  ~CellPools();

  // A cell of at least `bytes` bytes. Throws std::bad_alloc when memory is exhausted.
  [[nodiscard]] void* allocate(std::size_t bytes);
  // Gives back a cell from allocate() with the same `bytes`.
  void release(void* cell, std::size_t bytes) noexcept;

  // The cell size that serves a request of `bytes` (0 above 72 bytes).
  [[nodiscard]] static constexpr std::size_t cellSizeFor(std::size_t bytes) noexcept {
    if (bytes > kLargestCell) return 0;
    return bytes <= kCellStep ? kCellStep : (bytes + kCellStep - 1) / kCellStep * kCellStep;
  }

  // Pages (the area not counted) the pool of that cell size holds right now.
  [[nodiscard]] std::size_t pageCountForTest(std::size_t cellBytes) const noexcept;
  // Cells in use in the pool of that cell size, area and pages together.
  [[nodiscard]] std::size_t cellsInUseForTest(std::size_t cellBytes) const noexcept;
  // Whether `cell` lies in the 144-byte area of its pool.
  [[nodiscard]] bool inAreaForTest(const void* cell, std::size_t bytes) const noexcept;

  // The layouts of an area or page header and of a pool table entry.
  struct PageHeader;
  struct Pool;

 private:
  [[nodiscard]] PageHeader* pageOf(Pool& pool, void* cell) const noexcept;
  void createTable();

  Pool* table_ = nullptr;
  bool pooled_;
};

}  // namespace zel::binding::internal
