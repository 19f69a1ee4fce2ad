// TypeKind: the 8-bit code of every type a field, argument or result can
// have, from "bool" to "map" (the codes of boundary/type_kind_codes.h), its
// name as messages print it, and TypeRef, the full type of a field, argument
// or result: its kind, its elements' kind and the structure or enum it names.
//
//   typeKindName(TypeKind::Int32);   // "int32"
//   typeRefOf<std::vector<Point>>(registry);   // {Vector, Struct, Point's descriptor}
//
// Names are static texts; a TypeRef points at a descriptor the registry owns.
#pragma once

#include <cstdint>

#include "boundary/type_kind_codes.h"

namespace zel {

class TypeDescriptor;

// The plugin's spelling of the kind codes, one byte wide.
enum class TypeKind : std::uint8_t {
  None = kTypeKindNone,  // no type: a function without a result
  Bool = kTypeKindBool,
  Int8 = kTypeKindInt8,
  UInt8 = kTypeKindUInt8,
  Int16 = kTypeKindInt16,
  UInt16 = kTypeKindUInt16,
  Int32 = kTypeKindInt32,
  UInt32 = kTypeKindUInt32,
  Int64 = kTypeKindInt64,
  UInt64 = kTypeKindUInt64,
  Float = kTypeKindFloat,
  Double = kTypeKindDouble,
  String = kTypeKindString,
  Object = kTypeKindObject,  // a BindingValue holding any value
  Blob = kTypeKindBlob,
  Vector = kTypeKindVector,
  Enum = kTypeKindEnum,
  Struct = kTypeKindStruct,
  Callback = kTypeKindCallback,
  Map = kTypeKindMap,  // hash map from text to the element type
};
// A kind code added to the boundary needs its enumerator here.
static_assert(static_cast<std::uint32_t>(TypeKind::Map) + 1 == kTypeKindCount);

// The kind's name; the empty text for None and for codes above Map.
[[nodiscard]] constexpr const char* typeKindName(TypeKind kind) noexcept {
  return typeKindCodeName(static_cast<std::uint32_t>(kind));
}

// The type of a field, argument or result. For vectors and maps elementKind
// is the kind of the elements; type is the structure or enum involved (the
// type itself, or the element's), or null.
struct TypeRef {
  TypeKind kind = TypeKind::None;
  TypeKind elementKind = TypeKind::None;
  const TypeDescriptor* type = nullptr;
};

}  // namespace zel
