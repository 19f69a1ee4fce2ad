#include "host/dev/json_value.h"

#include <cmath>
#include <cstdint>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "host/dev/messages.h"
#include "host/text_template.h"

namespace zel::host {

namespace {

HostValue fromDocument(const rapidjson::Value& value) {
  switch (value.GetType()) {
    case rapidjson::kNullType:
      return HostValue::makeNone();
    case rapidjson::kFalseType:
    case rapidjson::kTrueType:
      return HostValue::makeBool(value.GetBool());
    case rapidjson::kNumberType:
      if (value.IsInt64()) return HostValue::makeSigned(value.GetInt64());
      if (value.IsUint64()) return HostValue::makeUnsigned(value.GetUint64());
      return HostValue::makeFloat(value.GetDouble());
    case rapidjson::kStringType:
      return HostValue::makeString(std::string_view(value.GetString(), value.GetStringLength()));
    case rapidjson::kArrayType: {
      std::vector<HostValue> elements;
      elements.reserve(value.Size());
      for (const rapidjson::Value& element : value.GetArray()) {
        elements.push_back(fromDocument(element));
      }
      return HostValue::makeCollection(std::move(elements));
    }
    case rapidjson::kObjectType: {
      std::vector<HostField> fields;
      fields.reserve(value.MemberCount());
      for (const auto& member : value.GetObject()) {
        fields.push_back(
            HostField{std::string(member.name.GetString(), member.name.GetStringLength()),
                      fromDocument(member.value)});
      }
      return HostValue::makeStructure(std::move(fields));
    }
  }
  return HostValue::makeNone();
}

template <typename Writer>
void writeText(Writer& writer, std::string_view text) {
  std::string valid = toValidUtf8(text);
  writer.String(valid.data(), static_cast<rapidjson::SizeType>(valid.size()));
}

template <typename Writer>
void writeValue(Writer& writer, const HostValue& value) {
  switch (value.flatKind()) {
    case FlatKind::Bool:
      writer.Bool(value.boolean);
      return;
    case FlatKind::Signed:
      writer.Int64(value.signedValue);
      return;
    case FlatKind::Unsigned:
      writer.Uint64(value.unsignedValue);
      return;
    case FlatKind::Float:
      if (std::isfinite(value.floatValue)) {
        writer.Double(value.floatValue);
      } else {
        writer.Null();
      }
      return;
    case FlatKind::StringRef:
    case FlatKind::String:
      writeText(writer, value.bytes);
      return;
    case FlatKind::BlobRef:
    case FlatKind::Blob:
      writeText(writer, toBase64(value.bytes));
      return;
    case FlatKind::Collection:
      writer.StartArray();
      for (const HostValue& element : value.elements) writeValue(writer, element);
      writer.EndArray();
      return;
    case FlatKind::Structure:
      writer.StartObject();
      for (const HostField& field : value.fields) {
        std::string key = toValidUtf8(field.key);
        writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size()));
        writeValue(writer, field.value);
      }
      writer.EndObject();
      return;
    default:
      writer.Null();
      return;
  }
}

// Length of the valid UTF-8 sequence at the start of text, 0 when invalid.
std::size_t validSequenceLength(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  std::uint32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  std::uint32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < minimum || code > 0x10FFFF || surrogate) return 0;
  return length;
}

}  // namespace

std::optional<HostValue> parseJson(std::string_view text, std::string& error) {
  rapidjson::Document document;
  constexpr unsigned kFlags = rapidjson::kParseValidateEncodingFlag;
  document.Parse<kFlags>(text.data(), text.size());
  if (document.HasParseError()) {
    error = fillTemplate(messages::kInvalidJson,
                         {std::to_string(document.GetErrorOffset()),
                          rapidjson::GetParseError_En(document.GetParseError())});
    return std::nullopt;
  }
  return fromDocument(document);
}

std::string toJson(const HostValue& value, JsonStyle style) {
  rapidjson::StringBuffer buffer;
  if (style == JsonStyle::Indented) {
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    writer.SetIndent(' ', 2);
    writeValue(writer, value);
  } else {
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writeValue(writer, value);
  }
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string toValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  while (!text.empty()) {
    std::size_t length = validSequenceLength(text);
    if (length == 0) {
      valid += "\xEF\xBF\xBD";
      length = 1;
    } else {
      valid.append(text.data(), length);
    }
    text.remove_prefix(length);
  }
  return valid;
}

std::string toBase64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16 |
                      static_cast<unsigned char>(bytes[i + 1]) << 8 |
                      static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  std::size_t left = bytes.size() - i;
  if (left > 0) {
    std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[n >> 18];
    out += kAlphabet[(n >> 12) & 63];
    out += left == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace zel::host
