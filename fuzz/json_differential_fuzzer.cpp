// Our JSON reader against RapidJSON's DOM (Document::Parse, the same default
// flags): both refuse with the same error and offset, or both read, and our
// value is the DOM mapped by the rules our reader keeps:
// - null leaves a member's field empty and adds an empty element to an array;
// - an integer without sign that fits 64 bits is unsigned, a negative one
//   that fits is signed, every other number is the DOM's double, bit for bit;
// - strings keep every byte, escaped NULs included;
// - a repeated key writes into the same field: a later scalar replaces, a
//   later null leaves, a later object adds members, a later array appends;
// - structures are in key order.
// The one refusal by design: containers nested deeper than
// formats::kMaxNestingDepth, which the DOM reads.
#include <rapidjson/document.h>
#include <rapidjson/error/error.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "diagnostics/format.h"
#include "formats/json_reader.h"
#include "formats/messages.h"
#include "formats/reader_limits.h"
#include "fuzz/differential.h"

namespace {

using zel::ValueNode;
using Document = rapidjson::Document;
using Json = rapidjson::Value;

zel::fuzz::Rules rules("json");

// The kind of a number is decided by how it is written; the second DOM
// (parsed with numbers kept as text) gives that text, the first the double.
void setNumber(const Json& number, const Json& written, ValueNode& slot) {
  const std::string text(written.GetString(), written.GetStringLength());
  if (text.find_first_of(".eE") == std::string::npos) {
    errno = 0;
    char* end = nullptr;
    if (text[0] == '-') {
      const long long value = std::strtoll(text.c_str(), &end, 10);
      if (errno == 0 && *end == '\0') return slot.setSigned(value);
    } else {
      const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
      if (errno == 0 && *end == '\0') return slot.setUnsigned(value);
    }
  }
  slot.setFloat(number.GetDouble());
}

// Writes `json` into `slot` as our reader's handler does with each event.
void build(const Json& json, const Json& written, ValueNode& slot) {
  switch (json.GetType()) {
    case rapidjson::kNullType:
      return;
    case rapidjson::kFalseType:
    case rapidjson::kTrueType:
      return slot.setBool(json.GetBool());
    case rapidjson::kNumberType:
      return setNumber(json, written, slot);
    case rapidjson::kStringType:
      return slot.setString(std::string_view(json.GetString(), json.GetStringLength()));
    case rapidjson::kArrayType: {
      slot.makeCollection();
      for (rapidjson::SizeType i = 0; i < json.Size(); ++i) {
        ValueNode& element = slot.append();
        build(json[i], written[i], element);
      }
      return;
    }
    case rapidjson::kObjectType: {
      slot.makeStructure();
      auto member = json.MemberBegin();
      auto writtenMember = written.MemberBegin();
      for (; member != json.MemberEnd(); ++member, ++writtenMember) {
        ValueNode& field =
            slot.field(std::string_view(member->name.GetString(), member->name.GetStringLength()));
        build(member->value, writtenMember->value, field);
      }
      return;
    }
  }
}

// The deepest nesting within the first `length` bytes of JSON text that the
// reader has taken as valid up to there.
std::size_t nestingDepth(const char* text, std::size_t length) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::string expectedError(rapidjson::ParseErrorCode code, std::size_t offset) {
  namespace messages = zel::formats::messages;
  const auto index = static_cast<std::size_t>(code);
  return zel::formatPositional(messages::kJsonError,
                               index < messages::kJsonErrorTextCount
                                   ? messages::kJsonErrorTexts[index]
                                   : messages::kJsonUnknownError,
                               static_cast<std::uint32_t>(offset));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  rules.input();
  // Both readers take NUL-terminated text: an embedded NUL ends the document for both.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const zel::BindingValue ours = zel::readJson(text.c_str());

  Document document;
  document.Parse<rapidjson::kParseDefaultFlags>(text.c_str());
  if (!ours.ok()) {
    // Our reader stops one level past its limit with the handler's error, at
    // the offset of the bracket it refused.
    const std::string message(ours.errorMessage());
    const std::size_t offset = std::strtoull(message.c_str() + message.rfind(' ') + 1, nullptr, 10);
    if (message == expectedError(rapidjson::kParseErrorTermination, offset)) {
      if (nestingDepth(text.c_str(), offset + 1) <= zel::formats::kMaxNestingDepth) {
        zel::fuzz::difference("refused as too deep, but not nested that deep: " + message, data,
                              size);
      }
      rules.applied("containers nested deeper than the limit are refused");
      return 0;
    }
  }

  if (document.HasParseError()) {
    if (ours.ok()) zel::fuzz::difference("the DOM refuses what we read", data, size);
    const std::string expected = expectedError(document.GetParseError(), document.GetErrorOffset());
    if (ours.errorMessage() != expected) {
      zel::fuzz::difference("ours: " + std::string(ours.errorMessage()) + " the DOM's: " + expected,
                            data, size);
    }
    rules.bothRefused();
    return 0;
  }
  if (!ours.ok())
    zel::fuzz::difference("we refuse what the DOM reads: " + std::string(ours.errorMessage()), data,
                          size);

  Document written;
  written.Parse<rapidjson::kParseDefaultFlags | rapidjson::kParseNumbersAsStringsFlag>(
      text.c_str());
  if (written.HasParseError()) {
    zel::fuzz::difference("keeping numbers as text changes what the DOM reads", data, size);
  }
  zel::BindingValue expected;
  build(document, written, expected);
  zel::fuzz::expectSame(ours, expected, zel::fuzz::Integers::Exact, data, size);
  rules.bothRead();
  return 0;
}
