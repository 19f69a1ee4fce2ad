// Conversion between BindingValue and FlatValue, the fixed-layout value in
// which values cross the host boundary.
//
//   BindingValue value;
//   if (!flatToValue(response, value, response.body, "<result>")) { ... response.error ... }
//   FlatValue flat{};
//   if (valueToFlat(flat, value, &registry)) { ... hand flat to the host ... }
//
// Both walk their trees without recursion, so any depth converts. The output
// FlatValue owns every text, byte array and array it refers to (clear it with
// clearFlatValue); the input FlatValue is only read.
#pragma once

#include "binding/flat_value.h"

namespace zel {

class BindingValue;
class TypeRegistry;
class ValueNode;
struct HostResponse;

// Replaces output (its ok flag set) with the value of input; strings are read up to their
// terminating zero. A FlatValue kind outside 0 to 10 fails: failure is
// released (its release function, when set, frees what it owns) and cleared,
// its error text becomes an owned copy of the message, and its release
// function the one that frees that copy; the output is left as far as it was
// built and false is returned.
[[nodiscard]] bool flatToValue(HostResponse& failure, BindingValue& output, const FlatValue& input,
                               const char* path);

// Replaces output (clearing what it owned) with an owned copy of input. An
// enum becomes its enumerator's name when registry is given and knows it,
// else its number. False only when memory is exhausted; output is then clear.
[[nodiscard]] bool valueToFlat(FlatValue& output, const ValueNode& input,
                               const TypeRegistry* registry);

}  // namespace zel
