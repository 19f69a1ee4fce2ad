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
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/host_value.h"

namespace zel::host {

enum class JsonStyle { Compact, Indented };

// Integers become signed values (unsigned above the signed range), other
// numbers floats, texts owned strings, objects structures in text order.
// Invalid UTF-8 is an error. None with the reason in error.
std::optional<HostValue> parseJson(std::string_view text, std::string& error);

std::string toJson(const HostValue& value, JsonStyle style = JsonStyle::Compact);

// The text with every invalid UTF-8 sequence replaced by U+FFFD.
std::string toValidUtf8(std::string_view text);

std::string toBase64(std::string_view bytes);

}  // namespace zel::host
