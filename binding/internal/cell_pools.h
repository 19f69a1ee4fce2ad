// CellPools: the fixed-size cells from which one value context takes the
// small records of its blobs, enums, collections and structures. There are 18
// pools, one per cell size from 4 to 72 bytes in steps of 4; a request is
// rounded up to a multiple of 4 and served by the pool of that size.
//
//   void* record = pools.allocate(12);   // a cell of the 12-byte pool
//   pools.release(record, 12);           // the same size given back
//
// Each pool starts with a 144-byte area inside its entry of the pool table
// and continues with 4096-byte pages from the process-wide PagePool. The
// table holds one pointer per pool; an entry is created the first time its
// pool serves a cell, so a small value that uses one or two record sizes
// carries one or two entries instead of all eighteen (2.7 KB). Every area and page begins with a
// 16-byte header; a free cell holds the 16-bit index of the next free cell, 0 ending the list. A
// page whose cells are all free goes straight back to the PagePool; the area stays. Requests above
// 72 bytes come from zel::memory directly. Not thread-safe: a context is used by one thread at a
// time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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
  // Inline so that a constant size (every record's) folds the pool choice and
  // the index arithmetic; only page changes leave the fast path.
  [[nodiscard]] void* allocate(std::size_t bytes) {
    const std::size_t cellSize = cellSizeFor(bytes);
    Pool* const entry = cellSize != 0 ? pools_[cellSize / kCellStep - 1] : nullptr;
    if (entry != nullptr) {
      Pool& pool = *entry;
      PageHeader* page = pool.available;
      if (page != nullptr) {
        unsigned char* const base = reinterpret_cast<unsigned char*>(page);
        unsigned char* cell;
        bool full;
        if (const std::uint16_t first = page->firstFree; first != 0) {
          cell = base + first * cellSize;
          const std::uint16_t next = loadIndex(cell);
          page->firstFree = next;
          ++page->used;
          full = next == 0 && page->fresh == pageEnd(cellSize);
        } else {
          // A listed page without a free-listed cell still has fresh ones.
          const std::uint16_t fresh = page->fresh;
          cell = base + fresh * cellSize;
          countFreshCell(page);
          full = fresh + 1u == pageEnd(cellSize);
        }
        if (full) unlistFull(pool, page);
        return cell;
      }
    }
    return allocateSlow(bytes);
  }

  // Gives back a cell from allocate() with the same `bytes`.
  void release(void* cell, std::size_t bytes) noexcept {
    const std::size_t cellSize = cellSizeFor(bytes);
    Pool* const entry = cellSize != 0 ? pools_[cellSize / kCellStep - 1] : nullptr;
    if (cell == nullptr || entry == nullptr) return releaseSlow(cell, bytes);
    Pool& pool = *entry;
    PageHeader* page = pageOf(pool, cell);
    auto* bytesOfCell = static_cast<unsigned char*>(cell);
    const bool wasFull = page->firstFree == 0 && page->fresh == pageEnd(cellSize);
    storeIndex(bytesOfCell, page->firstFree);
    page->firstFree = static_cast<std::uint16_t>(
        static_cast<std::size_t>(bytesOfCell - reinterpret_cast<unsigned char*>(page)) / cellSize);
    --page->used;
    // A page that was full goes back on the list; an empty page goes back
    // to the PagePool.
    if (wasFull || page->used == 0) settle(pool, page, wasFull);
  }

  // The cell size that serves a request of `bytes` (0 above 72 bytes).
  [[nodiscard]] static constexpr std::size_t cellSizeFor(std::size_t bytes) noexcept {
    if (bytes > kLargestCell) return 0;
    return bytes <= kCellStep ? kCellStep : (bytes + kCellStep - 1) / kCellStep * kCellStep;
  }

  // One past the last cell index of a page.
  [[nodiscard]] static constexpr std::size_t pageEnd(std::size_t cellSize) noexcept {
    return 4096 / cellSize;
  }

  // Pages (the area not counted) the pool of that cell size holds right now.
  [[nodiscard]] std::size_t pageCountForTest(std::size_t cellBytes) const noexcept;
  // Cells in use in the pool of that cell size, area and pages together.
  [[nodiscard]] std::size_t cellsInUseForTest(std::size_t cellBytes) const noexcept;
  // Whether `cell` lies in the 144-byte area of its pool.
  [[nodiscard]] bool inAreaForTest(const void* cell, std::size_t bytes) const noexcept;

  // The header at the start of every area and page. A page comes from the
  // PagePool untouched: its cells are handed out in address order from
  // `fresh` while nothing has been freed into its list, so taking a page costs
  // no pass over its cells. A page is full, and on no list, when `firstFree`
  // is 0 and `fresh` has reached pageEnd (the area starts there: it is laid
  // out as a free list instead).
  struct PageHeader {
    PageHeader* previous;  // neighbours on the pool's list of pages with free cells
    PageHeader* next;
    std::uint16_t pageSize;   // kAreaBytes or a page; 0 while an area is not laid out
    std::uint16_t firstFree;  // index of the first free cell; 0 ends the list
    std::uint16_t used;       // cells in use; `fresh` follows it in the same word
    std::uint16_t fresh;      // index of the first never-used cell
  };

  // One entry of the pool table.
  struct Pool {
    PageHeader* available;  // head of the list of pages with free cells
    std::uint32_t pages;    // pages held, the area not counted
    alignas(8) unsigned char area[kAreaBytes];
  };

 private:
  static std::uint16_t loadIndex(const unsigned char* cell) noexcept {
    std::uint16_t index;
    std::memcpy(&index, cell, sizeof(index));
    return index;
  }
  static void storeIndex(unsigned char* cell, std::uint16_t index) noexcept {
    std::memcpy(cell, &index, sizeof(index));
  }
  // The area or page that holds `cell`: pages are aligned to their size.
  static PageHeader* pageOf(Pool& pool, void* cell) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(cell);
    const auto area = reinterpret_cast<std::uintptr_t>(pool.area);
    if (address - area < kAreaBytes) return reinterpret_cast<PageHeader*>(pool.area);
    return reinterpret_cast<PageHeader*>(address & ~(kPageBytes - 1));
  }

  [[nodiscard]] void* allocateSlow(std::size_t bytes);
  void releaseSlow(void* cell, std::size_t bytes) noexcept;
  // One more cell in use and one fewer fresh cell, in a single update of the
  // word that holds `used` (low half) and `fresh` (high half); `used` never
  // reaches 65,536, so nothing carries into `fresh`.
  static void countFreshCell(PageHeader* page) noexcept {
    static_assert(std::endian::native == std::endian::little);
    static_assert(offsetof(PageHeader, fresh) == offsetof(PageHeader, used) + 2);
    unsigned char* const word = reinterpret_cast<unsigned char*>(page) + offsetof(PageHeader, used);
    std::uint32_t counts;
    std::memcpy(&counts, word, sizeof(counts));
    counts += 0x00010001u;
    std::memcpy(word, &counts, sizeof(counts));
  }
  // Takes a page that has just become full off the list of pages with free cells.
  static void unlistFull(Pool& pool, PageHeader* page) noexcept;
  // After a release: lists a page that was full, gives back one now empty.
  static void settle(Pool& pool, PageHeader* page, bool wasFull) noexcept;
  Pool& createPool(std::size_t index);

  // The PagePool's page size, to find a cell's page.
  static constexpr std::uintptr_t kPageBytes = 4096;

  Pool* pools_[kPoolCount] = {};
  bool pooled_;
};

}  // namespace zel::binding::internal
