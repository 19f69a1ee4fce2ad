#include "host/host_value.h"

#include <cstdio>
#include <cstring>

namespace zel::host {

namespace {

constexpr std::uint32_t code(FlatKind kind) {
  return static_cast<std::uint32_t>(kind);
}

void appendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void appendText(std::string& out, const HostValue& value) {
  switch (value.flatKind()) {
    case FlatKind::None:
      out += "null";
      return;
    case FlatKind::Bool:
      out += value.boolean ? "true" : "false";
      return;
    case FlatKind::Signed:
      out += std::to_string(value.signedValue);
      return;
    case FlatKind::Unsigned:
      out += std::to_string(value.unsignedValue);
      return;
    case FlatKind::Float: {
      char number[32];
      std::snprintf(number, sizeof number, "%.17g", value.floatValue);
      out += number;
      return;
    }
    case FlatKind::StringRef:
    case FlatKind::String:
      appendQuoted(out, value.bytes);
      return;
    case FlatKind::BlobRef:
    case FlatKind::Blob: {
      out += "blob(";
      for (unsigned char c : value.bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", c);
        out += hex;
      }
      out += ')';
      return;
    }
    case FlatKind::Collection: {
      out += '[';
      for (std::size_t i = 0; i < value.elements.size(); ++i) {
        if (i > 0) out += ", ";
        appendText(out, value.elements[i]);
      }
      out += ']';
      return;
    }
    case FlatKind::Structure: {
      out += '{';
      for (std::size_t i = 0; i < value.fields.size(); ++i) {
        if (i > 0) out += ", ";
        appendQuoted(out, value.fields[i].key);
        out += ": ";
        appendText(out, value.fields[i].value);
      }
      out += '}';
      return;
    }
  }
  out += "kind(" + std::to_string(value.kind) + ")";
}

// String and blob kinds with and without ownership fold into one.
std::uint32_t contentKind(std::uint32_t kind) {
  if (kind == code(FlatKind::StringRef)) return code(FlatKind::String);
  if (kind == code(FlatKind::BlobRef)) return code(FlatKind::Blob);
  return kind;
}

// exact: kind codes must match and key ownership counts; otherwise only
// the content is compared.
bool equalValues(const HostValue& a, const HostValue& b, bool exact) {
  if (exact ? a.kind != b.kind : contentKind(a.kind) != contentKind(b.kind)) return false;
  switch (static_cast<FlatKind>(contentKind(a.kind))) {
    case FlatKind::Bool:
      return a.boolean == b.boolean;
    case FlatKind::Signed:
      return a.signedValue == b.signedValue;
    case FlatKind::Unsigned:
      return a.unsignedValue == b.unsignedValue;
    // Bitwise, so that NaN payloads compare as sent.
    case FlatKind::Float:
      return std::memcmp(&a.floatValue, &b.floatValue, sizeof(double)) == 0;
    case FlatKind::String:
    case FlatKind::Blob:
      return a.bytes == b.bytes;
    case FlatKind::Collection:
      if (a.elements.size() != b.elements.size()) return false;
      for (std::size_t i = 0; i < a.elements.size(); ++i) {
        if (!equalValues(a.elements[i], b.elements[i], exact)) return false;
      }
      return true;
    case FlatKind::Structure:
      if (a.fields.size() != b.fields.size()) return false;
      for (std::size_t i = 0; i < a.fields.size(); ++i) {
        const HostField& left = a.fields[i];
        const HostField& right = b.fields[i];
        if (left.key != right.key || (exact && left.ownsKey != right.ownsKey)) return false;
        if (!equalValues(left.value, right.value, exact)) return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace

HostValue HostValue::makeBool(bool value) {
  HostValue v;
  v.kind = code(FlatKind::Bool);
  v.boolean = value;
  return v;
}

HostValue HostValue::makeSigned(std::int64_t value) {
  HostValue v;
  v.kind = code(FlatKind::Signed);
  v.signedValue = value;
  return v;
}

HostValue HostValue::makeUnsigned(std::uint64_t value) {
  HostValue v;
  v.kind = code(FlatKind::Unsigned);
  v.unsignedValue = value;
  return v;
}

HostValue HostValue::makeFloat(double value) {
  HostValue v;
  v.kind = code(FlatKind::Float);
  v.floatValue = value;
  return v;
}

HostValue HostValue::makeString(std::string_view text, bool owned) {
  HostValue v;
  v.kind = code(owned ? FlatKind::String : FlatKind::StringRef);
  v.bytes = text;
  return v;
}

HostValue HostValue::makeBlob(std::string_view bytes, bool owned) {
  HostValue v;
  v.kind = code(owned ? FlatKind::Blob : FlatKind::BlobRef);
  v.bytes = bytes;
  return v;
}

HostValue HostValue::makeCollection(std::vector<HostValue> elements) {
  HostValue v;
  v.kind = code(FlatKind::Collection);
  v.elements = std::move(elements);
  return v;
}

HostValue HostValue::makeStructure(std::vector<HostField> fields) {
  HostValue v;
  v.kind = code(FlatKind::Structure);
  v.fields = std::move(fields);
  return v;
}

HostValue HostValue::makeRawKind(std::uint32_t kind) {
  HostValue v;
  v.kind = kind;
  return v;
}

bool HostValue::isString() const {
  return kind == code(FlatKind::String) || kind == code(FlatKind::StringRef);
}

bool HostValue::isBlob() const {
  return kind == code(FlatKind::Blob) || kind == code(FlatKind::BlobRef);
}

const HostValue* HostValue::find(std::string_view key) const {
  if (kind != code(FlatKind::Structure)) return nullptr;
  for (const HostField& field : fields) {
    if (field.key == key) return &field.value;
  }
  return nullptr;
}

std::string HostValue::toText() const {
  std::string out;
  appendText(out, *this);
  return out;
}

bool HostValue::operator==(const HostValue& other) const {
  return equalValues(*this, other, true);
}

bool sameContent(const HostValue& a, const HostValue& b) {
  return equalValues(a, b, false);
}

void PrintTo(const HostValue& value, std::ostream* out) {
  *out << value.toText();
}

}  // namespace zel::host
