#include "binding/internal/intern_table.h"

#include <cstring>
#include <new>

#include "memory/memory.h"

namespace zel::binding::internal {
namespace {

constexpr std::uint32_t kInitialSlots = 16;

struct EmptyRecordStorage {
  StringRecord record;
  char text[4];
};
constinit EmptyRecordStorage emptyRecord{{fnv1aHash({}), 0, 0}, {0, 0, 0, 0}};
static_assert(offsetof(EmptyRecordStorage, text) == sizeof(StringRecord));

void* allocateOrThrow(std::size_t bytes) {
  void* block = memory::allocate(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

StringRecord* emptyStringRecord() noexcept {
  return &emptyRecord.record;
}

InternTable::~InternTable() {
  // After releaseAsTableEnds the slots may point at freed records: they are
  // not visited. Otherwise every value of the context has released its texts
  // by now, and anything left is freed with the table.
  if (freedInPlace_ == 0) {
    for (std::uint32_t i = 0; i < capacity_; ++i) {
      if (slots_[i].record != nullptr) memory::release(slots_[i].record);
    }
  }
  memory::release(slots_);
}

StringRecord* InternTable::intern(std::string_view text) {
  if (text.empty()) return emptyStringRecord();
  const std::uint32_t hash = fnv1aHash(text);
  if (capacity_ != 0) {
    for (std::uint32_t i = hash & mask();; i = (i + 1) & mask()) {
      StringRecord* record = slots_[i].record;
      if (record == nullptr) break;
      if (slots_[i].hash == hash && record->length == text.size() &&
          std::memcmp(record->text(), text.data(), text.size()) == 0) {
        ++record->references;
        return record;
      }
    }
  }
  if ((count_ + 1) * 4 > capacity_ * 3) grow();

  auto* record =
      static_cast<StringRecord*>(allocateOrThrow(sizeof(StringRecord) + text.size() + 1));
  record->hash = hash;
  record->references = 1;
  record->length = static_cast<std::uint32_t>(text.size());
  std::memcpy(record->text(), text.data(), text.size());
  record->text()[text.size()] = '\0';

  std::uint32_t i = hash & mask();
  while (slots_[i].record != nullptr) i = (i + 1) & mask();
  slots_[i] = Slot{record, hash};
  ++count_;
  return record;
}

void InternTable::remove(StringRecord* record) noexcept {
  std::uint32_t hole = record->hash & mask();
  while (slots_[hole].record != record) hole = (hole + 1) & mask();
  // Shift back every record of the run that would no longer be reachable
  // across the hole.
  for (std::uint32_t i = (hole + 1) & mask(); slots_[i].record != nullptr; i = (i + 1) & mask()) {
    const std::uint32_t home = slots_[i].hash & mask();
    const bool reachable = hole <= i ? (home > hole && home <= i) : (home > hole || home <= i);
    if (!reachable) {
      slots_[hole] = slots_[i];
      hole = i;
    }
  }
  slots_[hole].record = nullptr;
  --count_;
}

void InternTable::grow() {
  const std::uint32_t capacity = capacity_ == 0 ? kInitialSlots : capacity_ * 2;
  auto* slots = static_cast<Slot*>(allocateOrThrow(capacity * sizeof(Slot)));
  std::memset(static_cast<void*>(slots), 0, capacity * sizeof(Slot));
  for (std::uint32_t j = 0; j < capacity_; ++j) {
    if (slots_[j].record == nullptr) continue;
    std::uint32_t i = slots_[j].hash & (capacity - 1);
    while (slots[i].record != nullptr) i = (i + 1) & (capacity - 1);
    slots[i] = slots_[j];
  }
  memory::release(slots_);
  slots_ = slots;
  capacity_ = capacity;
}

}  // namespace zel::binding::internal
