// The value-to-native rules of bool, integer, floating-point and enum targets.
#include <cstdint>
#include <string_view>

#include "binding/convert_native.h"
#include "binding/internal/convert_rules.h"
#include "binding/convert_number.h"
#include "binding/messages.h"
#include "binding/type_descriptor.h"
#include "binding/value.h"
#include "diagnostics/format.h"

namespace zel::binding::internal {

namespace msg = binding::messages;

namespace {

// 2^63 and 2^64 as doubles: the first values that no longer fit.
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

bool failRequired(ConversionStatus& status, const char* path) {
  status.setError(formatPositional(msg::kValueRequired, path));
  return false;
}

bool failInvalidType(ConversionStatus& status, const char* path, const char* typeName,
                     const ValueNode& input) {
  status.setError(formatPositional(msg::kInvalidType, path, typeName, valueKindName(input.kind())));
  return false;
}

template <typename Shown>
bool failOutOfRange(ConversionStatus& status, const Shown& shown, const char* path,
                    const char* typeName) {
  status.setError(formatPositional(msg::kNumberOutOfRange, shown, path, typeName));
  return false;
}

bool failIncorrectFormat(ConversionStatus& status, std::string_view text, const char* path,
                         const char* typeName) {
  status.setError(formatPositional(msg::kNumberIncorrectFormat, text, path, typeName));
  return false;
}

// Reports the outcome of reading a number from text; true when it was read.
bool checkParsed(ConversionStatus& status, ParseOutcome outcome, std::string_view text,
                 const char* path, const char* typeName) {
  switch (outcome) {
    case ParseOutcome::Ok:
      return true;
    case ParseOutcome::Format:
      return failIncorrectFormat(status, text, path, typeName);
    case ParseOutcome::Range:
      break;
  }
  return failOutOfRange(status, text, path, typeName);
}

// A bound compared as a 64-bit integer only when it lies in the signed 64-bit
// range (a double bound beyond it cannot be passed by any integer).
bool belowBound(std::int64_t value, double min) noexcept {
  return min >= -kTwoTo63 && min < kTwoTo63 && value < static_cast<std::int64_t>(min);
}
bool aboveBound(std::int64_t value, double max) noexcept {
  return max >= -kTwoTo63 && max < kTwoTo63 && value > static_cast<std::int64_t>(max);
}

bool isEnumeratorValue(const TypeDescriptor* type, std::int32_t value) noexcept {
  return type != nullptr && type->findEnumerator(value) != nullptr;
}

const char* enumName(const TypeDescriptor* type) noexcept {
  return type != nullptr ? type->name().c_str() : "";
}

}  // namespace

bool toBool(ConversionStatus& status, const ValueNode& input, const char* path, bool& out) {
  if (!status.ok()) return false;
  switch (input.kind()) {
    case ValueKind::Empty:
      return failRequired(status, path);
    case ValueKind::Bool:
      out = input.asBool();
      return true;
    case ValueKind::String: {
      const std::string_view text = input.asString();
      if (text == "true" || text == "1") {
        out = true;
        return true;
      }
      if (text == "false" || text == "0") {
        out = false;
        return true;
      }
      status.setError(formatPositional(msg::kBoolIncorrectFormat, text, path));
      return false;
    }
    default:
      status.setError(formatPositional(msg::kBoolInvalidType, path, valueKindName(input.kind())));
      return false;
  }
}

bool toSigned(ConversionStatus& status, const ValueNode& input, const char* path,
              const SignedTarget& target, std::int64_t& out) {
  if (!status.ok()) return false;
  switch (input.kind()) {
    case ValueKind::Empty:
      return failRequired(status, path);
    case ValueKind::Signed: {
      const std::int64_t value = input.asSigned();
      if (value < target.min || value > target.max) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = value;
      return true;
    }
    case ValueKind::Unsigned: {
      const std::uint64_t value = input.asUnsigned();
      if (target.max < 0 || value > static_cast<std::uint64_t>(target.max)) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<std::int64_t>(value);
      return true;
    }
    case ValueKind::Float: {
      const double value = input.asFloat();
      // The 2^63 test keeps the truncation defined where the double nearest
      // to the 64-bit maximum is 2^63 itself.
      if (!(value >= static_cast<double>(target.min) && value <= static_cast<double>(target.max) &&
            value < kTwoTo63)) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<std::int64_t>(value);  // truncates toward zero
      return true;
    }
    case ValueKind::Enum: {
      const std::int32_t value = input.asEnum().number;
      if (value < target.min || value > target.max) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = value;
      return true;
    }
    case ValueKind::String: {
      const std::string_view text = input.asString();
      std::int64_t value = 0;
      if (!checkParsed(status, parseSigned(text, target.min, target.max, value), text, path,
                       target.typeName)) {
        return false;
      }
      out = value;
      return true;
    }
    default:
      return failInvalidType(status, path, target.typeName, input);
  }
}

bool toUnsigned(ConversionStatus& status, const ValueNode& input, const char* path,
                const UnsignedTarget& target, std::uint64_t& out) {
  if (!status.ok()) return false;
  switch (input.kind()) {
    case ValueKind::Empty:
      return failRequired(status, path);
    case ValueKind::Signed: {
      const std::int64_t value = input.asSigned();
      if (value < 0 || static_cast<std::uint64_t>(value) > target.max) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<std::uint64_t>(value);
      return true;
    }
    case ValueKind::Unsigned: {
      const std::uint64_t value = input.asUnsigned();
      if (value > target.max) return failOutOfRange(status, value, path, target.typeName);
      out = value;
      return true;
    }
    case ValueKind::Float: {
      const double value = input.asFloat();
      if (!(value >= 0.0 && value <= static_cast<double>(target.max) && value < kTwoTo64)) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<std::uint64_t>(value);  // truncates toward zero
      return true;
    }
    case ValueKind::Enum: {
      const std::int32_t value = input.asEnum().number;
      if (value < 0 || static_cast<std::uint64_t>(value) > target.max) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<std::uint64_t>(value);
      return true;
    }
    case ValueKind::String: {
      const std::string_view text = input.asString();
      std::uint64_t value = 0;
      if (!checkParsed(status, parseUnsigned(text, target.max, value), text, path,
                       target.typeName)) {
        return false;
      }
      out = value;
      return true;
    }
    default:
      return failInvalidType(status, path, target.typeName, input);
  }
}

bool toFloating(ConversionStatus& status, const ValueNode& input, const char* path,
                const FloatTarget& target, double& out) {
  if (!status.ok()) return false;
  switch (input.kind()) {
    case ValueKind::Empty:
      return failRequired(status, path);
    case ValueKind::Float: {
      const double value = input.asFloat();
      if (value < target.min || value > target.max) {  // a NaN passes
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = value;
      return true;
    }
    case ValueKind::Signed:
    case ValueKind::Enum: {
      const std::int64_t value =
          input.kind() == ValueKind::Signed ? input.asSigned() : input.asEnum().number;
      if (belowBound(value, target.min) || aboveBound(value, target.max)) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<double>(value);
      return true;
    }
    case ValueKind::Unsigned: {
      const std::uint64_t value = input.asUnsigned();
      if (target.max >= 0.0 && target.max < kTwoTo64 &&
          value > static_cast<std::uint64_t>(target.max)) {
        return failOutOfRange(status, value, path, target.typeName);
      }
      out = static_cast<double>(value);
      return true;
    }
    case ValueKind::String: {
      const std::string_view text = input.asString();
      double value = 0.0;
      if (!checkParsed(status, parseFloating(text, target.min, target.max, value), text, path,
                       target.typeName)) {
        return false;
      }
      out = value;
      return true;
    }
    default:
      return failInvalidType(status, path, target.typeName, input);
  }
}

bool toEnum(ConversionStatus& status, const ValueNode& input, const char* path,
            const TypeDescriptor* type, std::int32_t& out) {
  if (!status.ok()) return false;
  switch (input.kind()) {
    case ValueKind::Empty:
      return failRequired(status, path);
    case ValueKind::Signed:
    case ValueKind::Unsigned: {
      // The low 32 bits name the enumerator; the message shows the whole input.
      const bool isSigned = input.kind() == ValueKind::Signed;
      const auto value = static_cast<std::int32_t>(
          isSigned ? static_cast<std::uint64_t>(input.asSigned()) : input.asUnsigned());
      if (isEnumeratorValue(type, value)) {
        out = value;
        return true;
      }
      if (isSigned) {
        status.setError(
            formatPositional(msg::kEnumInvalidValue, input.asSigned(), enumName(type), path));
      } else {
        status.setError(
            formatPositional(msg::kEnumInvalidValue, input.asUnsigned(), enumName(type), path));
      }
      return false;
    }
    case ValueKind::Enum: {
      // The record's own type id is not compared: only its number counts.
      const std::int32_t value = input.asEnum().number;
      if (isEnumeratorValue(type, value)) {
        out = value;
        return true;
      }
      status.setError(formatPositional(msg::kEnumInvalidValue, value, enumName(type), path));
      return false;
    }
    case ValueKind::String: {
      const std::string_view text = input.asString();
      if (type != nullptr) {
        if (const EnumeratorDescriptor* named = type->findEnumerator(text)) {
          out = named->value();
          return true;
        }
      }
      std::int64_t number = 0;
      if (parseSigned(text, INT32_MIN, INT32_MAX, number) == ParseOutcome::Ok &&
          isEnumeratorValue(type, static_cast<std::int32_t>(number))) {
        out = static_cast<std::int32_t>(number);
        return true;
      }
      status.setError(formatPositional(msg::kEnumInvalidValue, text, enumName(type), path));
      return false;
    }
    default:
      status.setError(formatPositional(msg::kEnumInvalidType, path, valueKindName(input.kind())));
      return false;
  }
}

}  // namespace zel::binding::internal
