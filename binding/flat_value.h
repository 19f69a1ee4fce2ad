// FlatValue: the fixed-layout value in which values cross the host boundary
// (request arguments and results, event payloads). 12 bytes, packed: a 32-bit
// kind at offset 0 and an 8-byte payload at offset 4. Kinds 6, 8, 9 and 10 own
// what their payload points to; clearing frees exactly that.
//
//   FlatValue v{};                                  // kind 0, zero payload
//   FlatValue* items = setFlatCollection(v, 2);     // zero-filled, owned by v
//   setFlatString(items[0], "a");                   // owned copy of the text
//   clearFlatValue(v);                              // frees the text and the array
//
// The operations below allocate through zel::memory; what a plugin-side value
// owns is released by clearFlatValue (for a response, by its release function).
// A FlatValue handed in by the host is the host's and is never cleared here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zel {

enum class FlatKind : std::uint32_t {
  None = 0,
  Bool = 1,
  Signed = 2,
  Unsigned = 3,
  Float = 4,
  StringRef = 5,   // text not owned
  String = 6,      // text owned
  BlobRef = 7,     // bytes not owned
  Blob = 8,        // bytes owned
  Collection = 9,  // owned array of FlatValue
  Structure = 10,  // owned array of FlatEntry
};

#pragma pack(push, 1)
struct FlatValue {
  std::uint32_t kind;
  union Payload {
    std::uint8_t boolean;
    std::int64_t signedValue;
    std::uint64_t unsignedValue;
    double floatValue;
    struct Span {
      const void* pointer;  // text, bytes, FlatValue[] or FlatEntry[]
      std::uint32_t count;  // text length, byte count or element count
    } span;
    unsigned char raw[sizeof(Span) > 8 ? sizeof(Span) : 8];
  } payload;
};

// One entry of a structure: key, value, and whether the entry owns its key.
struct FlatEntry {
  const char* key;
  FlatValue value;
  std::uint8_t ownsKey;
};
#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(FlatValue) == 12);
static_assert(offsetof(FlatValue, payload) == 4);
static_assert(offsetof(FlatValue::Payload::Span, count) == 4);
static_assert(sizeof(FlatEntry) == 17);
static_assert(offsetof(FlatEntry, value) == 4);
static_assert(offsetof(FlatEntry, ownsKey) == 16);
#endif

// The kind's name as failure messages print it: "bool", "signed", "unsigned",
// "float", "string" (5, 6), "blob" (7, 8), "collection", "structure"; the empty
// text for kind 0 and every kind above 10.
[[nodiscard]] const char* flatKindName(std::uint32_t kind) noexcept;

// Frees what the value owns, deepest parts first and without recursion, then
// leaves kind 0 with a zero payload. Kinds 5 and 7 (and unknown kinds) free nothing.
void clearFlatValue(FlatValue& value) noexcept;

// Setters; each clears the value first. Those that copy allocate through
// zel::memory and throw std::bad_alloc when memory is exhausted.
void setFlatBool(FlatValue& value, bool boolean) noexcept;
void setFlatSigned(FlatValue& value, std::int64_t number) noexcept;
void setFlatUnsigned(FlatValue& value, std::uint64_t number) noexcept;
void setFlatFloat(FlatValue& value, double number) noexcept;
// Kind 5: refers to `text` (zero-terminated, `length` bytes before the zero).
void setFlatStringRef(FlatValue& value, const char* text, std::uint32_t length) noexcept;
// Kind 6: an owned, zero-terminated copy of `text` with its full length.
void setFlatString(FlatValue& value, std::string_view text);
// Kind 7: refers to `count` bytes at `bytes`.
void setFlatBlobRef(FlatValue& value, const void* bytes, std::uint32_t count) noexcept;
// Kind 8: an owned copy of `count` bytes (no storage when count is 0).
void setFlatBlob(FlatValue& value, const void* bytes, std::size_t count);
// Kind 9: an owned, zero-filled array of `count` values (null when count is 0),
// returned for the caller to fill.
FlatValue* setFlatCollection(FlatValue& value, std::uint32_t count);
// Kind 10: an owned, zero-filled array of `count` entries (null when 0).
FlatEntry* setFlatStructure(FlatValue& value, std::uint32_t count);
// Sets the key of an entry of such an array: an owned copy (ownsKey 1), or a
// reference to a text that outlives the value (ownsKey 0). Frees an owned key
// the entry had before.
void setFlatEntryKey(FlatEntry& entry, std::string_view key);
void setFlatEntryKeyRef(FlatEntry& entry, const char* key) noexcept;

// Readers of a value's payload by kind.
[[nodiscard]] inline std::string_view flatText(const FlatValue& value) noexcept {
  const auto& span = value.payload.span;
  return span.pointer == nullptr
             ? std::string_view()
             : std::string_view(static_cast<const char*>(span.pointer), span.count);
}
[[nodiscard]] inline FlatValue* flatElements(const FlatValue& value) noexcept {
  return static_cast<FlatValue*>(const_cast<void*>(value.payload.span.pointer));
}
[[nodiscard]] inline FlatEntry* flatEntries(const FlatValue& value) noexcept {
  return static_cast<FlatEntry*>(const_cast<void*>(value.payload.span.pointer));
}

}  // namespace zel
