// The plugin's operations on FlatValue, the boundary's fixed-layout value
// (boundary/flat_value.h):
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

#include "boundary/flat_value.h"

namespace zel {

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

}  // namespace zel
