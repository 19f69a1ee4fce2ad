// Conversion between native objects and binding values by native type, with TypeKind, the kind code
// of a field, argument or result (those of boundary/type_kind_codes.h), and TypeRef, its full type.
// NativeType<T> gives T's kinds and named structure or enum and moves a T both ways; the rules are
// compiled once per kind of target (binding/convert_*.cpp).
//
//   ConversionStatus status;
//   MapsResource map;
//   toNative(status, map, input, "<value>", &registry);   // status.errorMessage() on failure
//   BindingValue value = toValue(map, &registry);          // an error result on failure
//
// Native types and their kinds: bool; 8/16/32/64-bit signed and unsigned integers; float; double;
// std::string (string); BindingValue (object, any value); Blob (blob); BindingCallback (callback);
// a 32-bit enum (enum); std::vector<E> of these but bytes (vector); std::unordered_map from
// std::string to E (map); any other class (struct); std::optional<E> (E's kinds, may be absent).
// Structures and enums are found in the registry by their TypeIdentity; another native type does
// not compile. Nothing here keeps references.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/type_identity.h"
#include "binding/value.h"
#include "boundary/type_kind_codes.h"

namespace zel {

// A registered structure or enum type, owned by the registry: what TypeRegistry::findType and
// namedTypeOf return and the conversions take (null: the type is not registered).
class TypeDescriptor;
class TypeRegistry;

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

// The kind's name; "" for None and for codes above Map.
[[nodiscard]] constexpr const char* typeKindName(TypeKind kind) noexcept {
  return typeKindCodeName(static_cast<std::uint32_t>(kind));
}

// The type of a field, argument or result. For vectors and maps elementKind is the kind of the
// elements; type is the structure or enum involved (the type itself, or the element's), or null.
struct TypeRef {
  TypeKind kind = TypeKind::None;
  TypeKind elementKind = TypeKind::None;
  const TypeDescriptor* type = nullptr;
};

// A value-to-native chain's status: it goes on while ok; the first failure stores its message.
using ConversionStatus = BindingValue;
using Blob = std::vector<std::uint8_t>;  // the native form of a blob

// A callback argument: the id the caller knows it by; its calls come as OnCallback events.
struct BindingCallback {
  std::uint32_t id = 0;
  friend bool operator==(const BindingCallback&, const BindingCallback&) = default;
};

namespace binding::internal {

// The rules the templates below call, compiled once (binding/convert_*.cpp, native_scalars.cpp).
// A value-to-native rule does nothing once status failed; its failure goes to status, target kept.
template <typename T>
void scalarToNative(ConversionStatus& status, T& target, const ValueNode& input, const char* path,
                    const TypeRegistry* registry);
template <typename T>
void scalarToValue(ValueNode& output, const T& native);

// type null: the enum is not registered, and no number is valid.
[[nodiscard]] bool toEnum(ConversionStatus& status, const ValueNode& input, const char* path,
                          const TypeDescriptor* type, std::int32_t& out);

// The fields of the structure type at record, in registration order; each field's name is the path
// of its conversion. fromStructure leaves out omit-when-zero fields holding the zero of their kind.
void toStructure(ConversionStatus& status, void* record, const ValueNode& input, const char* path,
                 const TypeDescriptor* type, const TypeRegistry* registry);
void fromStructure(ValueNode& output, const void* record, const TypeDescriptor* type,
                   const TypeRegistry* registry, ConversionStatus& status);

// True when input is a collection (a structure for maps); else the failure is stored in status.
[[nodiscard]] bool checkCollection(ConversionStatus& status, const ValueNode& input,
                                   const char* path);
[[nodiscard]] bool checkMapStructure(ConversionStatus& status, const ValueNode& input,
                                     const char* path);

// The type registered for identity; null when registry is null or the id names another type.
[[nodiscard]] const TypeDescriptor* findRegisteredType(const TypeRegistry* registry,
                                                       const TypeIdentity& identity);

enum class NativeCategory { Unsupported, Scalar, Enum, Vector, Map, Optional, Struct };

template <typename T>
inline constexpr NativeCategory kContainerCategory = NativeCategory::Unsupported;
template <typename E, typename A>
inline constexpr NativeCategory kContainerCategory<std::vector<E, A>> = NativeCategory::Vector;
template <typename E, typename H, typename Q, typename A>
inline constexpr NativeCategory kContainerCategory<std::unordered_map<std::string, E, H, Q, A>> =
    NativeCategory::Map;
template <typename E>
inline constexpr NativeCategory kContainerCategory<std::optional<E>> = NativeCategory::Optional;

template <typename T>
constexpr NativeCategory nativeCategory() {
  if constexpr ((std::is_integral_v<T> && sizeof(T) <= 8) || std::is_same_v<T, float> ||
                std::is_same_v<T, double> || std::is_same_v<T, std::string> ||
                std::is_same_v<T, BindingValue> || std::is_same_v<T, Blob> ||
                std::is_same_v<T, BindingCallback>) {
    return NativeCategory::Scalar;
  }
  if constexpr (std::is_enum_v<T> && sizeof(T) == 4) return NativeCategory::Enum;
  if constexpr (kContainerCategory<T> != NativeCategory::Unsupported) return kContainerCategory<T>;
  return std::is_class_v<T> ? NativeCategory::Struct : NativeCategory::Unsupported;
}

// The integer codes run Int8, UInt8, Int16, ... up to UInt64.
template <typename T>
constexpr TypeKind integerKind() {
  constexpr std::uint32_t step = sizeof(T) == 1 ? 0 : sizeof(T) == 2 ? 1 : sizeof(T) == 4 ? 2 : 3;
  return static_cast<TypeKind>(kTypeKindInt8 + 2 * step + (std::is_signed_v<T> ? 0 : 1));
}

template <typename T>
constexpr TypeKind scalarKind() {
  if constexpr (std::is_same_v<T, bool>) return TypeKind::Bool;
  if constexpr (std::is_integral_v<T>) return integerKind<T>();
  if constexpr (std::is_floating_point_v<T>)
    return sizeof(T) == 4 ? TypeKind::Float : TypeKind::Double;
  if constexpr (std::is_same_v<T, std::string>) return TypeKind::String;
  if constexpr (std::is_same_v<T, BindingValue>) return TypeKind::Object;
  if constexpr (std::is_same_v<T, Blob>) return TypeKind::Blob;
  return TypeKind::Callback;  // crosses as its 32-bit id
}

// Kinds and named type shared by every category without elements.
template <TypeKind K, typename Named = void>
struct ScalarType {
  static constexpr TypeKind kKind = K;
  static constexpr TypeKind kElementKind = TypeKind::None;
  using NamedType = Named;
};

}  // namespace binding::internal

// True for std::optional<E>: an argument or field that may be absent.
template <typename T>
inline constexpr bool isOptionalNative =
    binding::internal::kContainerCategory<T> == binding::internal::NativeCategory::Optional;

template <typename T, binding::internal::NativeCategory C = binding::internal::nativeCategory<T>()>
struct NativeType {
  static_assert(C != binding::internal::NativeCategory::Unsupported,
                "this native type has no binding conversion");
};

template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Scalar>
    : binding::internal::ScalarType<binding::internal::scalarKind<T>()> {
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor*, const TypeRegistry* registry) {
    binding::internal::scalarToNative(status, target, input, path, registry);
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor*,
                      const TypeRegistry*, ConversionStatus&) {
    binding::internal::scalarToValue(output, native);
  }
};

template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Enum>
    : binding::internal::ScalarType<TypeKind::Enum, T> {
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor* type, const TypeRegistry*) {
    std::int32_t value = 0;
    if (binding::internal::toEnum(status, input, path, type, value)) target = static_cast<T>(value);
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor*,
                      const TypeRegistry*, ConversionStatus&) {
    output.setEnum(static_cast<std::int32_t>(native), typeIdentity<T>().id());
  }
};

template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Struct>
    : binding::internal::ScalarType<TypeKind::Struct, T> {
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor* type, const TypeRegistry* registry) {
    binding::internal::toStructure(status, &target, input, path, type, registry);
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor* type,
                      const TypeRegistry* registry, ConversionStatus& status) {
    binding::internal::fromStructure(output, &native, type, registry, status);
  }
};

// Elements share the vector's path and its named type.
template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Vector> {
  using Element = typename T::value_type;
  using ElementType = NativeType<Element>;
  static constexpr TypeKind kKind = TypeKind::Vector;
  static constexpr TypeKind kElementKind = ElementType::kKind;
  using NamedType = typename ElementType::NamedType;
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor* type, const TypeRegistry* registry) {
    target.clear();
    if (!binding::internal::checkCollection(status, input, path)) return;
    const auto elements = input.elements();
    target.resize(elements.size());
    for (std::size_t i = 0; i < elements.size() && status.ok(); ++i) {
      if (elements[i].isEmpty()) continue;            // the slot stays default
      if constexpr (std::is_same_v<Element, bool>) {  // vector<bool> hands out proxies
        bool value = false;
        ElementType::toNative(status, value, elements[i], path, type, registry);
        target[i] = value;
      } else {
        ElementType::toNative(status, target[i], elements[i], path, type, registry);
      }
    }
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor* type,
                      const TypeRegistry* registry, ConversionStatus& status) {
    output.reset();
    output.makeCollection();
    output.reserve(native.size());
    for (std::size_t i = 0; i < native.size() && status.ok(); ++i) {
      ElementType::toValue(output.element(i), native[i], type, registry, status);
    }
  }
};

// Entries share the map's path and its named type.
template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Map> {
  using Element = typename T::mapped_type;
  using ElementType = NativeType<Element>;
  static constexpr TypeKind kKind = TypeKind::Map;
  static constexpr TypeKind kElementKind = ElementType::kKind;
  using NamedType = typename ElementType::NamedType;
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor* type, const TypeRegistry* registry) {
    target.clear();
    target.rehash(0);
    if (!binding::internal::checkMapStructure(status, input, path)) return;
    const auto fields = input.fields();
    target.reserve(fields.size());
    for (const Field& field : fields) {
      if (field.value().isEmpty()) continue;
      ElementType::toNative(status, target[std::string(field.key())], field.value(), path, type,
                            registry);
      if (!status.ok()) return;
    }
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor* type,
                      const TypeRegistry* registry, ConversionStatus& status) {
    output.reset();
    output.makeStructure();
    for (const auto& [key, element] : native) {
      ElementType::toValue(output.field(std::string_view(key)), element, type, registry, status);
      if (!status.ok()) return;
    }
  }
};

// A value that may be absent: the kinds and named type are its value's. An empty input (no source
// gave it) leaves it empty; any other input converts as for the value, failures included, and a
// failed conversion leaves an empty optional empty. An empty optional becomes the empty value.
template <typename T>
struct NativeType<T, binding::internal::NativeCategory::Optional> {
  using Element = typename T::value_type;
  using ElementType = NativeType<Element>;
  static constexpr TypeKind kKind = ElementType::kKind;
  static constexpr TypeKind kElementKind = ElementType::kElementKind;
  using NamedType = typename ElementType::NamedType;
  static void toNative(ConversionStatus& status, T& target, const ValueNode& input,
                       const char* path, const TypeDescriptor* type, const TypeRegistry* registry) {
    if (!status.ok()) return;
    if (input.isEmpty()) return target.reset();
    const bool wasEmpty = !target.has_value();
    if (wasEmpty) target.emplace();
    ElementType::toNative(status, *target, input, path, type, registry);
    if (wasEmpty && !status.ok()) target.reset();
  }
  static void toValue(ValueNode& output, const T& native, const TypeDescriptor* type,
                      const TypeRegistry* registry, ConversionStatus& status) {
    if (!native.has_value()) return output.reset();
    ElementType::toValue(output, *native, type, registry, status);
  }
};

// The registered structure or enum that T names (T itself, or its elements'), or null.
template <typename T>
[[nodiscard]] const TypeDescriptor* namedTypeOf(const TypeRegistry* registry) {
  using Named = typename NativeType<T>::NamedType;
  if constexpr (std::is_void_v<Named>) return nullptr;
  return binding::internal::findRegisteredType(registry, typeIdentity<Named>());
}

// The TypeRef of native type T; void gives the no-type reference.
template <typename T>
[[nodiscard]] TypeRef typeRefOf(const TypeRegistry& registry) {
  if constexpr (std::is_void_v<T>)
    return TypeRef{};
  else
    return TypeRef{NativeType<T>::kKind, NativeType<T>::kElementKind, namedTypeOf<T>(&registry)};
}

// Value to native with the named type's descriptor; no-op once status failed, keeping its failure.
template <typename T>
void toNative(ConversionStatus& status, T& target, const ValueNode& input, const char* path,
              const TypeDescriptor* type, const TypeRegistry* registry) {
  NativeType<T>::toNative(status, target, input, path, type, registry);
}

// Value to native, the named type looked up in registry by its identity.
template <typename T>
void toNative(ConversionStatus& status, T& target, const ValueNode& input, const char* path,
              const TypeRegistry* registry) {
  NativeType<T>::toNative(status, target, input, path, namedTypeOf<T>(registry), registry);
}

// Native to value with the named type's descriptor: output reset and ok, or an error result.
template <typename T>
void toValue(BindingValue& output, const T& native, const TypeDescriptor* type,
             const TypeRegistry* registry) {
  output.reset();
  output.setOk(true);
  ConversionStatus status;
  NativeType<T>::toValue(output, native, type, registry, status);
  if (!status.ok()) output.setError(status.errorMessage());
}

// Native to value, the named type looked up in registry by its identity.
template <typename T>
void toValue(BindingValue& output, const T& native, const TypeRegistry* registry) {
  toValue(output, native, namedTypeOf<T>(registry), registry);
}

template <typename T>
[[nodiscard]] BindingValue toValue(const T& native, const TypeRegistry* registry) {
  BindingValue output;
  toValue(output, native, registry);
  return output;
}

}  // namespace zel
