// TypeKind: the 8-bit code of every type a field, argument or result can
// have, from "bool" (1) to "map" (19), and its name as messages print it.
//
//   typeKindName(TypeKind::Int32);   // "int32"
//   typeKindName(TypeKind::None);    // ""
//
// Names are static texts.
#pragma once

#include <cstdint>

namespace zel {

enum class TypeKind : std::uint8_t {
  None = 0,  // no type: a function without a result
  Bool = 1,
  Int8 = 2,
  UInt8 = 3,
  Int16 = 4,
  UInt16 = 5,
  Int32 = 6,
  UInt32 = 7,
  Int64 = 8,
  UInt64 = 9,
  Float = 10,
  Double = 11,
  String = 12,
  Object = 13,  // a BindingValue holding any value
  Blob = 14,
  Vector = 15,
  Enum = 16,
  Struct = 17,
  Callback = 18,
  Map = 19,  // hash map from text to the element type
};

// The kind's name; the empty text for None and for codes above 19.
[[nodiscard]] constexpr const char* typeKindName(TypeKind kind) noexcept {
  constexpr const char* kNames[] = {
      "",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
      "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
      "blob",   "vector", "enum",   "struct", "callback", "map",
  };
  const auto code = static_cast<unsigned>(kind);
  return code < sizeof(kNames) / sizeof(kNames[0]) ? kNames[code] : "";
}

}  // namespace zel
