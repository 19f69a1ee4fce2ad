// InternTable: the string intern table of one value context. Records are
// found by FNV-1a hash and text; each lookup that finds or inserts a record
// counts one reference, and the record is freed when its count drops to zero.
//
//   StringRecord* a = table.intern("x");   // new record, count 1
//   StringRecord* b = table.intern("x");   // same record, count 2
//   table.release(a); table.release(b);    // removed and freed
//
// Open addressing with linear probing over a power-of-two slot array that
// doubles at three-quarters load; removal shifts the following run back, so
// no tombstones build up. Each slot keeps its record's hash beside the
// pointer, so probing, removal and growth touch no record but the one that
// matches. Records and slots come from zel::memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/string_record.h"
#include "memory/memory.h"

namespace zel::binding::internal {

class InternTable {
 public:
  InternTable() noexcept = default;
  InternTable(const InternTable&) = delete;
  InternTable& operator=(const InternTable&) = delete;
  ~InternTable();

  // The record of `text` with one more reference; the shared empty record for
  // an empty text. Throws std::bad_alloc when memory is exhausted.
  [[nodiscard]] StringRecord* intern(std::string_view text);

  // One more reference to a record of this table (or the shared empty one).
  static void retain(StringRecord* record) noexcept {
    if (!record->isShared()) ++record->references;
  }

  // Drops one reference; frees the record at zero. The shared record is ignored.
  void release(StringRecord* record) noexcept {
    if (record->isShared() || --record->references != 0) return;
    remove(record);
    memory::release(record);
  }
  // The same, with the free counted in `batch`.
  void release(StringRecord* record, memory::ReleaseBatch& batch) noexcept {
    if (record->isShared() || --record->references != 0) return;
    remove(record);
    batch.release(record);
  }

  // For a table that is destroyed right after: drops one reference and, at
  // zero, frees the record without taking it out of the slots. From the first
  // such call on the table serves no lookup; its destructor then frees the
  // slots alone, so every record must have reached zero by then.
  void releaseAsTableEnds(StringRecord* record, memory::ReleaseBatch& batch) noexcept {
    if (record->isShared() || --record->references != 0) return;
    ++freedInPlace_;
    batch.release(record);
  }

  [[nodiscard]] std::size_t sizeForTest() const noexcept { return count_; }

 private:
  struct Slot {
    StringRecord* record;  // null when the slot is free
    std::uint32_t hash;
  };

  // Takes a record whose count reached zero out of the table.
  void remove(StringRecord* record) noexcept;
  void grow();
  [[nodiscard]] std::uint32_t mask() const noexcept { return capacity_ - 1; }

  Slot* slots_ = nullptr;
  std::uint32_t capacity_ = 0;  // zero or a power of two
  std::uint32_t count_ = 0;
  std::uint32_t freedInPlace_ = 0;  // records freed by releaseAsTableEnds
};

}  // namespace zel::binding::internal
