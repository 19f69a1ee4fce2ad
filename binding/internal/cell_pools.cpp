#include "binding/internal/cell_pools.h"

#include <cstring>
#include <new>

#include "binding/internal/page_pool.h"
#include "memory/memory.h"

namespace zel::binding::internal {

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(CellPools::PageHeader) == 16);
#endif

namespace {

using Header = CellPools::PageHeader;

constexpr std::size_t kHeaderBytes = sizeof(Header);

constexpr std::size_t poolIndex(std::size_t cellSize) noexcept {
  return cellSize / CellPools::kCellStep - 1;
}

// Cells start at the first index past the header.
constexpr std::uint16_t firstCellIndex(std::size_t cellSize) noexcept {
  return static_cast<std::uint16_t>((kHeaderBytes + cellSize - 1) / cellSize);
}

void storeIndex(unsigned char* cell, std::uint16_t index) noexcept {
  std::memcpy(cell, &index, sizeof(index));
}

unsigned char* bytesOf(Header* page) noexcept {
  return reinterpret_cast<unsigned char*>(page);
}

// Chains every cell of a pool's 144-byte area into its free list.
Header* layOutArea(void* memory, std::size_t cellSize) noexcept {
  auto* page = static_cast<Header*>(memory);
  const std::uint16_t first = firstCellIndex(cellSize);
  const auto end = static_cast<std::uint16_t>(CellPools::kAreaBytes / cellSize);
  for (std::uint16_t i = first; i < end; ++i) {
    storeIndex(bytesOf(page) + i * cellSize, i + 1 < end ? static_cast<std::uint16_t>(i + 1) : 0);
  }
  page->previous = nullptr;
  page->next = nullptr;
  page->pageSize = static_cast<std::uint16_t>(CellPools::kAreaBytes);
  page->firstFree = first < end ? first : 0;
  page->used = 0;
  page->fresh = static_cast<std::uint16_t>(CellPools::pageEnd(cellSize));  // none
  return page;
}

// A page from the PagePool: only the header is written; its cells are handed
// out from `fresh` in address order.
Header* startPage(void* memory, std::size_t cellSize) noexcept {
  auto* page = static_cast<Header*>(memory);
  page->previous = nullptr;
  page->next = nullptr;
  page->pageSize = static_cast<std::uint16_t>(PagePool::kPageBytes);
  page->firstFree = 0;
  page->used = 0;
  page->fresh = firstCellIndex(cellSize);
  return page;
}

void link(Header*& head, Header* page) noexcept {
  page->previous = nullptr;
  page->next = head;
  if (head != nullptr) head->previous = page;
  head = page;
}

void unlink(Header*& head, Header* page) noexcept {
  if (page->previous != nullptr) {
    page->previous->next = page->next;
  } else {
    head = page->next;
  }
  if (page->next != nullptr) page->next->previous = page->previous;
  page->previous = nullptr;
  page->next = nullptr;
}

}  // namespace

CellPools::~CellPools() {
  // The values of the context are gone; pages still listed go back anyway.
  for (Pool* pool : pools_) {
    if (pool == nullptr) continue;
    for (Header* page = pool->available; page != nullptr;) {
      Header* next = page->next;
      if (bytesOf(page) != pool->area) PagePool::instance().give(page);
      page = next;
    }
    memory::release(pool);
  }
}

CellPools::Pool& CellPools::createPool(std::size_t index) {
  static_assert(kPageBytes == PagePool::kPageBytes, "pageOf finds pages by this alignment");
  void* block = memory::allocate(sizeof(Pool));
  if (block == nullptr) throw std::bad_alloc();
  auto* pool = static_cast<Pool*>(block);
  pool->available = nullptr;
  pool->pages = 0;
  // Only the bookkeeping: the area is laid out when its first cell is taken.
  reinterpret_cast<Header*>(pool->area)->pageSize = 0;
  pools_[index] = pool;
  return *pool;
}

void* CellPools::allocateSlow(std::size_t bytes) {
  const std::size_t cellSize = cellSizeFor(bytes);
  if (cellSize == 0 || !pooled_) {
    void* block = memory::allocate(bytes == 0 ? 1 : bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  const std::size_t index = poolIndex(cellSize);
  Pool& pool = pools_[index] != nullptr ? *pools_[index] : createPool(index);
  Header* page = pool.available;
  if (page == nullptr) {
    auto* area = reinterpret_cast<Header*>(pool.area);
    if (area->pageSize == 0) {
      page = layOutArea(area, cellSize);
    } else {
      void* memory = PagePool::instance().take();
      if (memory == nullptr) throw std::bad_alloc();
      page = startPage(memory, cellSize);
      ++pool.pages;
    }
    link(pool.available, page);
  }
  // The pool has a listed page now: the inline path serves the cell.
  return allocate(bytes);
}

void CellPools::releaseSlow(void* cell, std::size_t bytes) noexcept {
  if (cell == nullptr) return;
  const std::size_t cellSize = cellSizeFor(bytes);
  if (cellSize == 0 || !pooled_) {
    memory::release(cell);
    return;
  }
  // A pooled cell always has its pool; anything else is not ours to free.
  if (pools_[poolIndex(cellSize)] != nullptr) release(cell, bytes);
}

void CellPools::unlistFull(Pool& pool, PageHeader* page) noexcept {
  unlink(pool.available, page);
}

void CellPools::settle(Pool& pool, PageHeader* page, bool wasFull) noexcept {
  if (wasFull) link(pool.available, page);
  if (page->used == 0 && bytesOf(page) != pool.area) {
    unlink(pool.available, page);
    --pool.pages;
    PagePool::instance().give(page);
  }
}

std::size_t CellPools::pageCountForTest(std::size_t cellBytes) const noexcept {
  const std::size_t cellSize = cellSizeFor(cellBytes);
  if (cellSize == 0 || pools_[poolIndex(cellSize)] == nullptr) return 0;
  return pools_[poolIndex(cellSize)]->pages;
}

std::size_t CellPools::cellsInUseForTest(std::size_t cellBytes) const noexcept {
  const std::size_t cellSize = cellSizeFor(cellBytes);
  if (cellSize == 0 || pools_[poolIndex(cellSize)] == nullptr) return 0;
  const Pool& pool = *pools_[poolIndex(cellSize)];
  const std::size_t perPage = PagePool::kPageBytes / cellSize - firstCellIndex(cellSize);
  const auto* area = reinterpret_cast<const Header*>(pool.area);
  // Full pages are on no list: count every page as full, then take off the
  // free cells of the listed ones. The area keeps its own count.
  std::size_t inUse = pool.pages * perPage;
  for (const Header* page = pool.available; page != nullptr; page = page->next) {
    if (page != area) inUse -= perPage - page->used;
  }
  if (area->pageSize != 0) inUse += area->used;
  return inUse;
}

bool CellPools::inAreaForTest(const void* cell, std::size_t bytes) const noexcept {
  const std::size_t cellSize = cellSizeFor(bytes);
  if (cellSize == 0 || pools_[poolIndex(cellSize)] == nullptr) return false;
  const Pool& pool = *pools_[poolIndex(cellSize)];
  const auto address = reinterpret_cast<std::uintptr_t>(cell);
  const auto area = reinterpret_cast<std::uintptr_t>(pool.area);
  return address >= area && address < area + kAreaBytes;
}

}  // namespace zel::binding::internal
