// JSON text to and from HostValue, with RapidJSON: the host reads arguments
// and event payloads given as JSON, and writes replies, descriptions and
// event streams as JSON.
//
//   std::string error;
//   std::optional<HostValue> value = parseJson(R"({"region": "EUW"})", error);
//   std::string text = toJson(*value, JsonStyle::Indented);
//
// Output is always valid JSON in valid UTF-8: invalid byte sequences in texts
// become U+FFFD, blobs become base64 texts, non-finite numbers become null.
// Neither direction recurses, so no text and no value can exhaust the stack.
// Running out of memory throws std::bad_alloc from either direction (the
// server answers it at the request's boundary), never writes through a null
// block.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_value.h"

namespace zel::host {

enum class JsonStyle { Compact, Indented };

// The deepest nesting of arrays and objects that parseJson reads: the same
// as the plugin's own readers, so that what the host accepts the plugin can
// read too. 512 nested arrays are read; 513 are refused.
inline constexpr std::size_t kMaxJsonNesting = 512;

// Integers become signed values (unsigned above the signed range), other
// numbers floats, texts owned strings, objects structures in text order.
// Invalid UTF-8 and nesting deeper than kMaxJsonNesting are errors. None
// with the reason in error.
std::optional<HostValue> parseJson(std::string_view text, std::string& error);

std::string toJson(const HostValue& value, JsonStyle style = JsonStyle::Compact);

// Test hook: from now on every block that the JSON reader and writers ask
// for (their stacks, the written text) of more than bytes fails as if memory
// had run out; 0 lifts the limit. Process-wide: a test sets it and lifts it.
void setJsonAllocationLimitForTest(std::size_t bytes);

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string toValidUtf8(std::string_view text);

// The length of the valid UTF-8 sequence that starts text: 1 to 4, 0 when
// text is empty or starts with an invalid one (overlong forms, surrogates and
// code points above U+10FFFF are invalid).
std::size_t validUtf8Length(std::string_view text);

std::string toBase64(std::string_view bytes);

}  // namespace zel::host
