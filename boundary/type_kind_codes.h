// The type kind codes of the argument, result and field kinds and their
// element kinds (boundary/description_records.h), and the name both sides
// print for each: static, zero-terminated texts. Kept apart from the records
// so that the SDK's face can name the kinds without them.
//
//   typeKindCodeName(kTypeKindInt32);   // "int32"; "" for kTypeKindNone
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::uint32_t kTypeKindNone = 0;  // no type: a function without a result
inline constexpr std::uint32_t kTypeKindBool = 1;
inline constexpr std::uint32_t kTypeKindInt8 = 2;
inline constexpr std::uint32_t kTypeKindUInt8 = 3;
inline constexpr std::uint32_t kTypeKindInt16 = 4;
inline constexpr std::uint32_t kTypeKindUInt16 = 5;
inline constexpr std::uint32_t kTypeKindInt32 = 6;
inline constexpr std::uint32_t kTypeKindUInt32 = 7;
inline constexpr std::uint32_t kTypeKindInt64 = 8;
inline constexpr std::uint32_t kTypeKindUInt64 = 9;
inline constexpr std::uint32_t kTypeKindFloat = 10;
inline constexpr std::uint32_t kTypeKindDouble = 11;
inline constexpr std::uint32_t kTypeKindString = 12;
inline constexpr std::uint32_t kTypeKindObject = 13;  // any value
inline constexpr std::uint32_t kTypeKindBlob = 14;
inline constexpr std::uint32_t kTypeKindVector = 15;
inline constexpr std::uint32_t kTypeKindEnum = 16;
inline constexpr std::uint32_t kTypeKindStruct = 17;
inline constexpr std::uint32_t kTypeKindCallback = 18;
inline constexpr std::uint32_t kTypeKindMap = 19;  // hash map from text to the element type

inline constexpr const char* kTypeKindNames[] = {  // indexed by code
    "",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
    "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
    "blob",   "vector", "enum",   "struct", "callback", "map"};
inline constexpr std::uint32_t kTypeKindCount = kTypeKindMap + 1;  // every code below it is a kind
static_assert(sizeof(kTypeKindNames) == kTypeKindCount * sizeof(const char*));

// The kind's name; the empty text for 0 and for any code from kTypeKindCount on.
constexpr const char* typeKindCodeName(std::uint32_t code) noexcept {
  return code < kTypeKindCount ? kTypeKindNames[code] : "";
}

}  // namespace zel
