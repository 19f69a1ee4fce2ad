// The value-to-native rules of the scalar targets, one compiled function per
// kind of target; binding/native_scalars.cpp applies them to each scalar
// native type.
//
//   std::int64_t n;
//   if (toSigned(status, input, "id", {INT32_MIN, INT32_MAX, "int32"}, n)) target = n;
//
// Every rule first tests the status and does nothing when it has already
// failed; a failure is stored in the status with its message and the rule
// returns false, so the target keeps its value. Paths and type names are the
// caller's texts, used only during the call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/convert_native.h"

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
// Text, blob and object targets are assigned in place.
void toText(ConversionStatus& status, const ValueNode& input, const char* path,
            const TypeRegistry* registry, std::string& out);
// Takes the bytes of a blob or of a string.
void toBlob(ConversionStatus& status, const ValueNode& input, const char* path,
            std::vector<std::uint8_t>& out);
// Resets out, then (status still ok) deep-copies any input into it.
void toObject(ConversionStatus& status, const ValueNode& input, BindingValue& out);

}  // namespace zel::binding::internal
