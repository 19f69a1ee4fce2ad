#include "binding/flat_value_ops.h"

#include <cstring>
#include <new>

#include "binding/internal/work_stack.h"
#include "memory/memory.h"

namespace zel {
namespace {

constexpr auto kString = static_cast<std::uint32_t>(FlatKind::String);
constexpr auto kBlob = static_cast<std::uint32_t>(FlatKind::Blob);
constexpr auto kCollection = static_cast<std::uint32_t>(FlatKind::Collection);
constexpr auto kStructure = static_cast<std::uint32_t>(FlatKind::Structure);

constexpr const char* kFlatKindNames[] = {"",      "bool",       "signed",   "unsigned",
                                          "float", "string",     "string",   "blob",
                                          "blob",  "collection", "structure"};

void* allocateOrThrow(std::size_t bytes) {
  void* block = memory::allocate(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void zero(FlatValue& value) noexcept {
  std::memset(&value, 0, sizeof(FlatValue));
}

bool isContainer(const FlatValue& value) noexcept {
  return (value.kind == kCollection || value.kind == kStructure) &&
         value.payload.span.pointer != nullptr;
}

// Frees an owned text or byte array; containers are the caller's business.
void freeLeaf(FlatValue& value) noexcept {
  if (value.kind == kString || value.kind == kBlob) {
    memory::release(const_cast<void*>(value.payload.span.pointer));
  }
}

using Pending = binding::internal::WorkStack<FlatValue, 32>;

FlatValue& childOf(const FlatValue& container, std::uint32_t i) noexcept {
  return container.kind == kCollection ? flatElements(container)[i]
                                       : flatEntries(container)[i].value;
}

// Frees the keys and leaves of one container, notes each container child in
// `pending`, then frees the array. Returns false, having changed nothing, when
// there are container children and no room to note them.
bool clearContainer(const FlatValue& container, Pending* pending) noexcept {
  const std::uint32_t count = container.payload.span.count;
  std::size_t containers = 0;
  for (std::uint32_t i = 0; i < count; ++i) containers += isContainer(childOf(container, i));
  if (containers != 0 && (pending == nullptr || !pending->reserve(containers))) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    FlatValue& child = childOf(container, i);
    if (isContainer(child)) {
      static_cast<void>(pending->push(child));  // room reserved above
    } else {
      freeLeaf(child);
    }
    if (container.kind == kStructure && flatEntries(container)[i].ownsKey != 0) {
      memory::release(const_cast<char*>(flatEntries(container)[i].key));
    }
  }
  memory::release(const_cast<void*>(container.payload.span.pointer));
  return true;
}

// With no memory to spare: clear one innermost container at a time, each
// found by descending from `root` again. Slow, but needs no storage at all.
void clearWithoutMemory(FlatValue& root) noexcept {
  while (isContainer(root)) {
    FlatValue* innermost = &root;
    for (bool descended = true; descended;) {
      descended = false;
      const std::uint32_t count = innermost->payload.span.count;
      for (std::uint32_t i = 0; i < count && !descended; ++i) {
        FlatValue& child = childOf(*innermost, i);
        if (isContainer(child)) {
          innermost = &child;
          descended = true;
        }
      }
    }
    static_cast<void>(clearContainer(*innermost, nullptr));  // no container children left
    zero(*innermost);
  }
}

}  // namespace

const char* flatKindName(std::uint32_t kind) noexcept {
  return kind < std::size(kFlatKindNames) ? kFlatKindNames[kind] : "";
}

void clearFlatValue(FlatValue& value) noexcept {
  if (!isContainer(value)) {
    freeLeaf(value);
    zero(value);
    return;
  }
  // Containers still to clear, held by copy: a container's array can go as
  // soon as its children are noted.
  Pending pending;
  static_cast<void>(pending.push(value));  // the first entries need no memory
  zero(value);
  while (!pending.empty()) {
    FlatValue container = pending.pop();
    if (!clearContainer(container, &pending)) clearWithoutMemory(container);
  }
}

void setFlatBool(FlatValue& value, bool boolean) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::Bool);
  value.payload.boolean = boolean ? 1 : 0;
}

void setFlatSigned(FlatValue& value, std::int64_t number) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::Signed);
  value.payload.signedValue = number;
}

void setFlatUnsigned(FlatValue& value, std::uint64_t number) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::Unsigned);
  value.payload.unsignedValue = number;
}

void setFlatFloat(FlatValue& value, double number) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::Float);
  value.payload.floatValue = number;
}

void setFlatStringRef(FlatValue& value, const char* text, std::uint32_t length) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::StringRef);
  value.payload.span.pointer = text;
  value.payload.span.count = length;
}

void setFlatString(FlatValue& value, std::string_view text) {
  if (text.size() >= UINT32_MAX) throw std::bad_alloc();
  auto* copy = static_cast<char*>(allocateOrThrow(text.size() + 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  clearFlatValue(value);
  value.kind = kString;
  value.payload.span.pointer = copy;
  value.payload.span.count = static_cast<std::uint32_t>(text.size());
}

void setFlatBlobRef(FlatValue& value, const void* bytes, std::uint32_t count) noexcept {
  clearFlatValue(value);
  value.kind = static_cast<std::uint32_t>(FlatKind::BlobRef);
  value.payload.span.pointer = bytes;
  value.payload.span.count = count;
}

void setFlatBlob(FlatValue& value, const void* bytes, std::size_t count) {
  if (count > UINT32_MAX) throw std::bad_alloc();
  void* copy = nullptr;
  if (count != 0) {
    copy = allocateOrThrow(count);
    std::memcpy(copy, bytes, count);
  }
  clearFlatValue(value);
  value.kind = kBlob;
  value.payload.span.pointer = copy;
  value.payload.span.count = static_cast<std::uint32_t>(count);
}

FlatValue* setFlatCollection(FlatValue& value, std::uint32_t count) {
  void* items = nullptr;
  if (count != 0) {
    if (count > UINT32_MAX / sizeof(FlatValue)) throw std::bad_alloc();
    items = allocateOrThrow(count * sizeof(FlatValue));
    std::memset(items, 0, count * sizeof(FlatValue));
  }
  clearFlatValue(value);
  value.kind = kCollection;
  value.payload.span.pointer = items;
  value.payload.span.count = count;
  return static_cast<FlatValue*>(items);
}

FlatEntry* setFlatStructure(FlatValue& value, std::uint32_t count) {
  void* entries = nullptr;
  if (count != 0) {
    if (count > UINT32_MAX / sizeof(FlatEntry)) throw std::bad_alloc();
    entries = allocateOrThrow(count * sizeof(FlatEntry));
    std::memset(entries, 0, count * sizeof(FlatEntry));
  }
  clearFlatValue(value);
  value.kind = kStructure;
  value.payload.span.pointer = entries;
  value.payload.span.count = count;
  return static_cast<FlatEntry*>(entries);
}

void setFlatEntryKey(FlatEntry& entry, std::string_view key) {
  auto* copy = static_cast<char*>(allocateOrThrow(key.size() + 1));
  std::memcpy(copy, key.data(), key.size());
  copy[key.size()] = '\0';
  if (entry.ownsKey != 0) memory::release(const_cast<char*>(entry.key));
  entry.key = copy;
  entry.ownsKey = 1;
}

void setFlatEntryKeyRef(FlatEntry& entry, const char* key) noexcept {
  if (entry.ownsKey != 0) memory::release(const_cast<char*>(entry.key));
  entry.key = key;
  entry.ownsKey = 0;
}

}  // namespace zel
