// FlatValue: the fixed-layout value in which values cross the host boundary
// (request arguments and results, event payloads). 12 bytes, packed: a 32-bit
// kind at offset 0 and an 8-byte payload at offset 4. Kinds 6, 8, 9 and 10 own
// what their payload points to; whoever made such a value frees it (the
// plugin with clearFlatValue, the host with its own release).
//
//   const FlatValue& v = request->parameters[0].value;
//   if (v.kind == static_cast<std::uint32_t>(FlatKind::String)) use(flatText(v));
//
// Only the layout and its readers live here, so both sides of the boundary
// can include it; the plugin's operations on it are binding/flat_value_ops.h.
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
