// The conversion rules between binding values and native objects, one
// compiled function per kind of target. The typed converters of
// binding/convert_native.h are thin shims over these.
//
//   std::int64_t n;
//   if (binding::internal::toSigned(status, input, "id", {INT32_MIN, INT32_MAX, "int32"}, n))
//   target = n;
//
// Every value-to-native rule first tests the status and does nothing when it
// has already failed; a failure is stored in the status with its message and
// the rule returns false, so the target keeps its value. Paths and type names
// are the caller's texts, used only during the call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/internal/type_descriptor.h"

namespace zel::binding::internal {

struct SignedTarget {
  std::int64_t min;
  std::int64_t max;
  const char* typeName;
};

struct UnsignedTarget {
  std::uint64_t max;
  const char* typeName;
};

struct FloatTarget {
  double min;
  double max;
  const char* typeName;
};

// Scalar targets: true when out was written.
[[nodiscard]] bool toBool(ConversionStatus& status, const ValueNode& input, const char* path,
                          bool& out);
[[nodiscard]] bool toSigned(ConversionStatus& status, const ValueNode& input, const char* path,
                            const SignedTarget& target, std::int64_t& out);
[[nodiscard]] bool toUnsigned(ConversionStatus& status, const ValueNode& input, const char* path,
                              const UnsignedTarget& target, std::uint64_t& out);
[[nodiscard]] bool toFloating(ConversionStatus& status, const ValueNode& input, const char* path,
                              const FloatTarget& target, double& out);
// type is the enum's descriptor; null when the enum is not registered (then
// no number is valid).
[[nodiscard]] bool toEnum(ConversionStatus& status, const ValueNode& input, const char* path,
                          const TypeDescriptor* type, std::int32_t& out);

// Text, blob and object targets are assigned in place.
void toText(ConversionStatus& status, const ValueNode& input, const char* path,
            const TypeRegistry* registry, std::string& out);
// Takes the bytes of a blob or of a string.
void toBlob(ConversionStatus& status, const ValueNode& input, const char* path,
            std::vector<std::uint8_t>& out);
// Resets out, then (status still ok) deep-copies any input into it.
void toObject(ConversionStatus& status, const ValueNode& input, BindingValue& out);

// Assigns the fields of the registered structure type (type) at record, in
// registration order; each field's own name is the path of its conversion.
void toStructure(ConversionStatus& status, void* record, const ValueNode& input, const char* path,
                 const TypeDescriptor* type, const TypeRegistry* registry);

// Containers: true when input is a collection (a structure for maps) whose
// elements are to be converted; otherwise the failure is stored in status.
[[nodiscard]] bool checkCollection(ConversionStatus& status, const ValueNode& input,
                                   const char* path);
[[nodiscard]] bool checkMapStructure(ConversionStatus& status, const ValueNode& input,
                                     const char* path);

// Writes the registered structure at record into output as a structure value;
// omit-when-zero fields holding the zero of their kind are left out.
void fromStructure(ValueNode& output, const void* record, const TypeDescriptor* type,
                   const TypeRegistry* registry, ConversionStatus& status);

// Empty, false, 0 (signed, unsigned or an enum number), 0.0 of either sign,
// or a string, blob, collection or structure of size 0.
[[nodiscard]] bool isZeroValue(const ValueNode& value) noexcept;

}  // namespace zel::binding::internal
