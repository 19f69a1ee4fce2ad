#include "host/conversions/host_flat_value.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace zel::host {

namespace {

void* allocateOrThrow(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

char* copyBytes(const std::string& bytes) {
  char* copy = static_cast<char*>(allocateOrThrow(bytes.size() + 1));
  std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  return copy;
}

void setSpan(FlatValue& flat, const void* pointer, std::size_t count) {
  flat.payload.span.pointer = pointer;
  flat.payload.span.count = static_cast<std::uint32_t>(count);
}

// Frees what a FlatValue owns by the boundary's rules; what its reference
// kinds point to is the borrowed list's.
void clearFlat(FlatValue& flat) noexcept {
  const void* pointer = flat.payload.span.pointer;
  std::uint32_t count = flat.payload.span.count;
  switch (static_cast<FlatKind>(flat.kind)) {
    case FlatKind::String:
    case FlatKind::Blob:
      std::free(const_cast<void*>(pointer));
      break;
    case FlatKind::Collection: {
      auto* elements = static_cast<FlatValue*>(const_cast<void*>(pointer));
      for (std::uint32_t i = 0; elements != nullptr && i < count; ++i) clearFlat(elements[i]);
      std::free(elements);
      break;
    }
    case FlatKind::Structure: {
      auto* entries = static_cast<FlatEntry*>(const_cast<void*>(pointer));
      for (std::uint32_t i = 0; entries != nullptr && i < count; ++i) {
        if (entries[i].ownsKey != 0) std::free(const_cast<char*>(entries[i].key));
        clearFlat(entries[i].value);
      }
      std::free(entries);
      break;
    }
    default:
      break;
  }
  std::memset(&flat, 0, sizeof flat);
}

// Builds into a zeroed flat; on a failed allocation what was built so far is
// reachable from flat or borrowed, so the caller's cleanup frees it.
void build(FlatValue& flat, const HostValue& value, std::vector<void*>& borrowed) {
  std::memset(&flat, 0, sizeof flat);
  flat.kind = value.kind;
  switch (value.flatKind()) {
    case FlatKind::None:
      break;
    case FlatKind::Bool:
      flat.payload.boolean = value.boolean ? 1 : 0;
      break;
    case FlatKind::Signed:
      flat.payload.signedValue = value.signedValue;
      break;
    case FlatKind::Unsigned:
      flat.payload.unsignedValue = value.unsignedValue;
      break;
    case FlatKind::Float:
      flat.payload.floatValue = value.floatValue;
      break;
    case FlatKind::StringRef:
    case FlatKind::BlobRef:
      borrowed.reserve(borrowed.size() + 1);
      borrowed.push_back(copyBytes(value.bytes));
      setSpan(flat, borrowed.back(), value.bytes.size());
      break;
    case FlatKind::String:
    case FlatKind::Blob:
      setSpan(flat, copyBytes(value.bytes), value.bytes.size());
      break;
    case FlatKind::Collection: {
      std::size_t count = value.elements.size();
      if (count == 0) break;
      auto* elements = static_cast<FlatValue*>(allocateOrThrow(count * sizeof(FlatValue)));
      std::memset(elements, 0, count * sizeof(FlatValue));
      setSpan(flat, elements, count);
      for (std::size_t i = 0; i < count; ++i) build(elements[i], value.elements[i], borrowed);
      break;
    }
    case FlatKind::Structure: {
      std::size_t count = value.fields.size();
      if (count == 0) break;
      auto* entries = static_cast<FlatEntry*>(allocateOrThrow(count * sizeof(FlatEntry)));
      std::memset(entries, 0, count * sizeof(FlatEntry));
      setSpan(flat, entries, count);
      for (std::size_t i = 0; i < count; ++i) {
        const HostField& field = value.fields[i];
        if (field.ownsKey) {
          entries[i].key = copyBytes(field.key);
          entries[i].ownsKey = 1;
        } else {
          borrowed.reserve(borrowed.size() + 1);
          borrowed.push_back(copyBytes(field.key));
          entries[i].key = static_cast<const char*>(borrowed.back());
        }
        build(entries[i].value, field.value, borrowed);
      }
      break;
    }
    default:
      break;  // an unknown kind crosses with a zero payload
  }
}

std::string readBytes(const FlatValue& flat) {
  const auto* pointer = static_cast<const char*>(flat.payload.span.pointer);
  if (pointer == nullptr) return std::string();
  return std::string(pointer, flat.payload.span.count);
}

}  // namespace

HostFlatValue::HostFlatValue(const HostValue& value) {
  try {
    build(value_, value, borrowed_);
  } catch (...) {
    clear();
    throw;
  }
}

HostFlatValue::~HostFlatValue() {
  clear();
}

HostFlatValue::HostFlatValue(HostFlatValue&& other) noexcept
    : value_(other.value_), borrowed_(std::move(other.borrowed_)) {
  std::memset(&other.value_, 0, sizeof other.value_);
  other.borrowed_.clear();
}

HostFlatValue& HostFlatValue::operator=(HostFlatValue&& other) noexcept {
  if (this != &other) {
    clear();
    value_ = other.value_;
    borrowed_ = std::move(other.borrowed_);
    std::memset(&other.value_, 0, sizeof other.value_);
    other.borrowed_.clear();
  }
  return *this;
}

void HostFlatValue::clear() noexcept {
  clearFlat(value_);
  for (void* block : borrowed_) std::free(block);
  borrowed_.clear();
}

HostValue readFlatValue(const FlatValue& flat) {
  HostValue value;
  value.kind = flat.kind;
  switch (static_cast<FlatKind>(flat.kind)) {
    case FlatKind::None:
      break;
    case FlatKind::Bool:
      value.boolean = flat.payload.boolean != 0;
      break;
    case FlatKind::Signed:
      value.signedValue = flat.payload.signedValue;
      break;
    case FlatKind::Unsigned:
      value.unsignedValue = flat.payload.unsignedValue;
      break;
    case FlatKind::Float:
      value.floatValue = flat.payload.floatValue;
      break;
    case FlatKind::StringRef:
    case FlatKind::String:
    case FlatKind::BlobRef:
    case FlatKind::Blob:
      value.bytes = readBytes(flat);
      break;
    case FlatKind::Collection: {
      const auto* elements = static_cast<const FlatValue*>(flat.payload.span.pointer);
      if (elements == nullptr) break;
      value.elements.reserve(flat.payload.span.count);
      for (std::uint32_t i = 0; i < flat.payload.span.count; ++i) {
        value.elements.push_back(readFlatValue(elements[i]));
      }
      break;
    }
    case FlatKind::Structure: {
      const auto* entries = static_cast<const FlatEntry*>(flat.payload.span.pointer);
      if (entries == nullptr) break;
      value.fields.reserve(flat.payload.span.count);
      for (std::uint32_t i = 0; i < flat.payload.span.count; ++i) {
        const FlatEntry& entry = entries[i];
        value.fields.push_back(HostField{entry.key != nullptr ? entry.key : "",
                                         readFlatValue(entry.value), entry.ownsKey != 0});
      }
      break;
    }
    default:
      break;
  }
  return value;
}

}  // namespace zel::host
