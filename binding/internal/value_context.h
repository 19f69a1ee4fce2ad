// ValueContext: the storage shared by one value tree: the string intern table
// and the cell pools of the tree's small records. A standalone BindingValue
// creates its context the first time it needs storage and destroys it with
// itself; every node of the tree refers to the root's context.
//
//   ValueContext& context = ...;                   // from the tree's root
//   StringRecord* key = context.intern("name");    // counted until release()
//   void* record = context.allocateCell(12);       // a 12-byte cell
//
// A context belongs to one tree and is used by one thread at a time.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/internal/cell_pools.h"
#include "binding/internal/intern_table.h"

namespace zel::binding::internal {

class ValueContext {
 public:
  ValueContext() noexcept;
  ValueContext(const ValueContext&) = delete;
  ValueContext& operator=(const ValueContext&) = delete;
  ~ValueContext() = default;

  // Interned texts, counted per reference.
  [[nodiscard]] StringRecord* intern(std::string_view text) { return strings_.intern(text); }
  void release(StringRecord* record) noexcept { strings_.release(record); }
  void release(StringRecord* record, memory::ReleaseBatch& batch) noexcept {
    strings_.release(record, batch);
  }
  // Only while the context's last tree is torn down, right before the
  // context is destroyed; see InternTable::releaseAsTableEnds.
  void releaseAsContextEnds(StringRecord* record, memory::ReleaseBatch& batch) noexcept {
    strings_.releaseAsTableEnds(record, batch);
  }

  // Small records of the tree's values.
  [[nodiscard]] void* allocateCell(std::size_t bytes) { return cells_.allocate(bytes); }
  void releaseCell(void* cell, std::size_t bytes) noexcept { cells_.release(cell, bytes); }

  // Contexts created while this is false take every record from the general
  // heap instead of the cell pools (to measure what the pools save).
  static void setCellPoolsEnabledForTest(bool enabled) noexcept;

  [[nodiscard]] const InternTable& stringsForTest() const noexcept { return strings_; }
  [[nodiscard]] const CellPools& cellsForTest() const noexcept { return cells_; }

 private:
  InternTable strings_;
  CellPools cells_;
};

}  // namespace zel::binding::internal
