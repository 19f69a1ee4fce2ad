// Conversion between BindingValue and FlatValue, the fixed-layout value in
// which values cross the host boundary.
//
//   BindingValue value;
//   FlatConversion read = flatToValue(value, response.body, "<result>");
//   if (!read.ok()) { ... read.errorMessage() ... }
//   FlatValue flat{};
//   if (valueToFlat(flat, value, &registry)) { ... hand flat to the host ... }
//
// Both walk their trees without recursion, so any depth converts. The output
// FlatValue owns every text, byte array and array it refers to (clear it with
// clearFlatValue); the input FlatValue is only read.
#pragma once

#include <string>
#include <utility>

#include "binding/flat_value_ops.h"

namespace zel {

class BindingValue;
class TypeRegistry;
class ValueNode;

// The outcome of flatToValue: ok, or the message of the kind that did not
// convert. A success holds no text and costs no allocation; the message is
// the caller's to keep or drop.
class [[nodiscard]] FlatConversion {
 public:
  FlatConversion() noexcept = default;
  [[nodiscard]] static FlatConversion failure(std::string message) noexcept {
    return FlatConversion(std::move(message));
  }

  [[nodiscard]] bool ok() const noexcept { return !failed_; }
  // The empty text while ok().
  [[nodiscard]] const std::string& errorMessage() const noexcept { return message_; }

 private:
  explicit FlatConversion(std::string message) noexcept
      : message_(std::move(message)), failed_(true) {}

  std::string message_;
  bool failed_ = false;
};

// Replaces output (its ok flag set) with the value of input; strings are read
// up to their terminating zero. A FlatValue kind outside 0 to 10 fails with
// a message naming path and the kind; the output is then left as far as it
// was built. Throws std::bad_alloc when memory is exhausted.
[[nodiscard]] FlatConversion flatToValue(BindingValue& output, const FlatValue& input,
                                         const char* path);

// Replaces output (clearing what it owned) with an owned copy of input. An
// enum becomes its enumerator's name when registry is given and knows it,
// else its number. False only when memory is exhausted; output is then clear.
[[nodiscard]] bool valueToFlat(FlatValue& output, const ValueNode& input,
                               const TypeRegistry* registry);

}  // namespace zel
