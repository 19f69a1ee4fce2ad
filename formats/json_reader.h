// Reading JSON text into a BindingValue: request bodies, text arguments that
// look like JSON, and streamed answers of other plugins.
//
//   BindingValue value = zel::readJson(R"({"id": 42, "tags": ["a", "b"]})");
//   if (!value.ok()) log(value.errorMessage());  // "Error: Invalid value. at offset 7."
//
// The text is read up to its terminating NUL; the caller keeps owning it. The
// returned value owns its whole tree.
//
// What the value holds: null is an empty value (inside an array an empty
// element); integers without sign are unsigned, negative ones signed, any
// number with a fraction or an exponent or beyond 64 bits a float; objects are
// structures in key order. A key repeated in one object writes into the same
// field: a later scalar replaces the earlier one, a later null leaves it, a
// later object adds its members and a later array appends its elements.
// Containers nested deeper than formats::kMaxNestingDepth are refused.
#pragma once

#include "binding/value.h"

namespace zel {

// The value, or an error result whose message is "Error: <text> at offset
// <byte offset>." with the text of the reader's error code. A null pointer
// reads as the empty text.
[[nodiscard]] BindingValue readJson(const char* text);

}  // namespace zel
