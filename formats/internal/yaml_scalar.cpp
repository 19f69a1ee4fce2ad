#include "formats/internal/yaml_scalar.h"

#include <cfloat>
#include <cstdint>
#include <cstring>

#include "binding/convert_number.h"
#include "binding/messages.h"
#include "diagnostics/format.h"
#include "formats/internal/plain_number.h"
#include "formats/messages.h"

namespace zel::formats::internal {
namespace {

namespace messages = formats::messages;
using binding::internal::ParseOutcome;

// Whether `text` is `lower`, its capitalised form or its upper-case form
// (the three spellings YAML gives its null and bool words); `lower` and
// `upper` have the length of `text`.
bool isSpelledAs(std::string_view text, std::string_view lower, std::string_view upper) noexcept {
  if (text == lower || text == upper) return true;
  return text.front() == upper.front() && text.substr(1) == lower.substr(1);
}

// The message of a tagged number that did not convert, as the value
// conversions word it.
std::string conversionError(ParseOutcome outcome, std::string_view text, const char* typeName) {
  return formatPositional(outcome == ParseOutcome::Format
                              ? binding::messages::kNumberIncorrectFormat
                              : binding::messages::kNumberOutOfRange,
                          text, messages::kYamlConversionPath, typeName);
}

bool typeInteger(ValueNode& node, std::string_view text, std::string& error) {
  if (!text.empty() && text.front() == '-') {
    std::int64_t value = 0;
    const ParseOutcome outcome = binding::internal::parseSigned(text, INT64_MIN, INT64_MAX, value);
    if (outcome != ParseOutcome::Ok) {
      error = conversionError(outcome, text, messages::kYamlSignedTypeName);
      return false;
    }
    node.setSigned(value);
    return true;
  }
  std::uint64_t value = 0;
  const ParseOutcome outcome = binding::internal::parseUnsigned(text, UINT64_MAX, value);
  if (outcome != ParseOutcome::Ok) {
    error = conversionError(outcome, text, messages::kYamlUnsignedTypeName);
    return false;
  }
  node.setUnsigned(value);
  return true;
}

bool typeFloat(ValueNode& node, std::string_view text, std::string& error) {
  double value = 0.0;
  const ParseOutcome outcome = binding::internal::parseFloating(text, -DBL_MAX, DBL_MAX, value);
  if (outcome != ParseOutcome::Ok) {
    error = conversionError(outcome, text, messages::kYamlFloatTypeName);
    return false;
  }
  node.setFloat(value);
  return true;
}

// Whether a plain scalar starting with `c` can only be a string or a bool:
// a letter that starts no number (numbers take "inf" and "nan" in any case)
// and no null text.
bool startsAWord(char c) noexcept {
  const char lower = static_cast<char>(c | 0x20);
  return lower >= 'a' && lower <= 'z' && lower != 'i' && lower != 'n';
}

// A plain scalar that is neither null nor a number: a bool word or a string.
void typeWord(ValueNode& node, std::string_view text) {
  if (isTrueText(text)) {
    node.setBool(true);
  } else if (isFalseText(text)) {
    node.setBool(false);
  } else {
    node.setString(text);
  }
}

void typePlain(ValueNode& node, std::string_view text) {
  // Most plain scalars of a document are words: they skip the number reading.
  if (!text.empty() && startsAWord(text.front())) {
    typeWord(node, text);
    return;
  }
  if (isNullText(text)) {
    node.reset();
    return;
  }
  const PlainNumber number = readPlainNumber(text);
  switch (number.kind) {
    case PlainNumber::Kind::Unsigned:
      node.setUnsigned(number.unsignedValue);
      return;
    case PlainNumber::Kind::Signed:
      node.setSigned(number.signedValue);
      return;
    case PlainNumber::Kind::Float:
      node.setFloat(number.floatValue);
      return;
    case PlainNumber::Kind::None:
      break;
  }
  typeWord(node, text);
}

}  // namespace

// The words are told apart by length first: most scalars of a document
// have a length that none of them has.
bool isNullText(std::string_view text) noexcept {
  switch (text.size()) {
    case 0:
      return true;
    case 1:
      return text.front() == '~';
    case 4:
      return isSpelledAs(text, "null", "NULL");
    default:
      return false;
  }
}

bool isTrueText(std::string_view text) noexcept {
  switch (text.size()) {
    case 1:
      return text.front() == 'y' || text.front() == 'Y';
    case 2:
      return isSpelledAs(text, "on", "ON");
    case 3:
      return isSpelledAs(text, "yes", "YES");
    case 4:
      return isSpelledAs(text, "true", "TRUE");
    default:
      return false;
  }
}

bool isFalseText(std::string_view text) noexcept {
  switch (text.size()) {
    case 1:
      return text.front() == 'n' || text.front() == 'N';
    case 2:
      return isSpelledAs(text, "no", "NO");
    case 3:
      return isSpelledAs(text, "off", "OFF");
    case 5:
      return isSpelledAs(text, "false", "FALSE");
    default:
      return false;
  }
}

bool typeScalar(ValueNode& node, std::string_view text, const char* tag, bool quoted,
                std::string& error) {
  if (tag == nullptr) {
    if (quoted) {
      node.setString(text);
    } else {
      typePlain(node, text);
    }
    return true;
  }
  if (std::strcmp(tag, kYamlStringTag) == 0) {
    node.setString(text);
    return true;
  }
  if (std::strcmp(tag, kYamlIntTag) == 0) return typeInteger(node, text, error);
  if (std::strcmp(tag, kYamlFloatTag) == 0) return typeFloat(node, text, error);
  if (std::strcmp(tag, kYamlBoolTag) == 0) {
    if (isTrueText(text)) {
      node.setBool(true);
    } else if (isFalseText(text)) {
      node.setBool(false);
    }
    return true;
  }
  error = formatPositional(messages::kYamlUnsupportedTag, tag);
  return false;
}

}  // namespace zel::formats::internal
