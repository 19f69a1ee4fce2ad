// The message formatter on the system's own templates (numbered, printf and
// brace forms) and on fuzzed templates, with fuzzed argument values of every
// argument type the library passes. The text never exceeds 4095 characters.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "api/messages.h"
#include "binding/messages.h"
#include "diagnostics/format.h"
#include "diagnostics/named_template.h"
#include "formats/messages.h"
#include "maps/messages.h"
#include "plugin/messages.h"

namespace {

constexpr std::size_t kMaxText = 4095;

const char* const kTemplates[] = {
    zel::formats::messages::kJsonError,          zel::formats::messages::kMsgpackInvalidData,
    zel::formats::messages::kYamlUnsupportedTag, zel::formats::messages::kYamlParserError,
    zel::binding::messages::kValueRequired,      zel::binding::messages::kNumberOutOfRange,
    zel::binding::messages::kEnumUnnamedValue,   zel::api::messages::kMethodPrefix,
    zel::api::messages::kInternalError,          zel::api::messages::kUnknownArgument,
    zel::api::messages::kIndexIncorrectFormat,   zel::maps::messages::kNoMapWithId,
};

const char* const kBraceTemplates[] = {
    zel::plugin::messages::kErrorResponse,
    zel::plugin::messages::kParametersNotConverted,
    zel::plugin::messages::kStreamNotRead,
};

void check(const std::string& text) {
  if (text.size() > kMaxText) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto choice = input.ConsumeIntegralInRange<std::size_t>(0, 2);
  const std::string fuzzedTemplate = input.ConsumeRandomLengthString(256);
  const std::string text = input.ConsumeRandomLengthString(8192);
  const auto number = input.ConsumeIntegral<std::int64_t>();
  const auto unsignedNumber = input.ConsumeIntegral<std::uint32_t>();
  const double floating = input.ConsumeFloatingPoint<double>();
  const auto byte = input.ConsumeIntegral<std::uint8_t>();
  const char character = static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
  const bool flag = input.ConsumeBool();

  if (choice == 0) {
    const char* tmpl =
        kTemplates[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTemplates) - 1)];
    // Argument lists of every shape the library uses with these templates.
    check(zel::formatPositional(tmpl, text.c_str(), unsignedNumber));
    check(zel::formatPositional(tmpl, number));
    check(zel::formatPositional(tmpl, text, text, text));
    check(zel::formatPositional(tmpl, floating, text, byte));
  } else if (choice == 1) {
    const char* tmpl = kBraceTemplates[input.ConsumeIntegralInRange<std::size_t>(
        0, std::size(kBraceTemplates) - 1)];
    zel::FieldMap fields;
    check(zel::formatNamed(tmpl, fields, "GET", text, text));
    check(zel::formatNamed(tmpl, fields, number, floating));
  } else {
    check(zel::formatPositional(fuzzedTemplate.c_str(), text, number, floating, character, flag,
                                byte, unsignedNumber));
    check(zel::formatPositional(fuzzedTemplate.c_str()));
    zel::FieldMap fields;
    check(zel::formatNamed(fuzzedTemplate.c_str(), fields, text, number, floating, flag));
  }
  return 0;
}
