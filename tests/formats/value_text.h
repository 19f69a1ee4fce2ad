// A compact text form of a value tree, so that reader tests can compare whole
// results in one line: ~ empty, true/false, i-5 signed, u5 unsigned, f2.5
// float, "text" string (bytes outside printable ASCII as \xNN), b'0aff' blob,
// [a,b] collection, {key:value,...} structure; an error result is
// "error: <message>".
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "binding/value.h"

namespace zel::testing_support {

inline void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

inline void appendValue(std::string& out, const ValueNode& node) {
  switch (node.kind()) {
    case ValueKind::Empty:
      out += '~';
      return;
    case ValueKind::Bool:
      out += node.asBool() ? "true" : "false";
      return;
    case ValueKind::Signed:
      out += 'i' + std::to_string(node.asSigned());
      return;
    case ValueKind::Unsigned:
      out += 'u' + std::to_string(node.asUnsigned());
      return;
    case ValueKind::Float: {
      char digits[64];
      const auto result = std::to_chars(digits, digits + sizeof digits, node.asFloat());
      out += 'f';
      out.append(digits, result.ptr);
      return;
    }
    case ValueKind::String:
      appendQuoted(out, node.asString());
      return;
    case ValueKind::Blob: {
      out += "b'";
      for (std::uint8_t byte : node.asBlob()) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        out += hex;
      }
      out += '\'';
      return;
    }
    case ValueKind::Enum:
      out += "enum" + std::to_string(node.asEnum().number);
      return;
    case ValueKind::Collection: {
      out += '[';
      bool first = true;
      for (const ValueNode& element : node.elements()) {
        if (!first) out += ',';
        first = false;
        appendValue(out, element);
      }
      out += ']';
      return;
    }
    case ValueKind::Structure: {
      out += '{';
      bool first = true;
      for (const Field& field : node.fields()) {
        if (!first) out += ',';
        first = false;
        out += field.key();
        out += ':';
        appendValue(out, field.value());
      }
      out += '}';
      return;
    }
  }
}

inline std::string describe(const BindingValue& value) {
  if (!value.ok()) return "error: " + std::string(value.errorMessage());
  std::string out;
  appendValue(out, value);
  return out;
}

// The text of `depth` nested containers around `inner`: open repeated, the
// inner text, then close repeated.
inline std::string nested(std::string_view open, std::string_view close, std::size_t depth,
                          std::string_view inner = {}) {
  std::string text;
  text.reserve((open.size() + close.size()) * depth + inner.size());
  for (std::size_t i = 0; i < depth; ++i) text += open;
  text += inner;
  for (std::size_t i = 0; i < depth; ++i) text += close;
  return text;
}

}  // namespace zel::testing_support
