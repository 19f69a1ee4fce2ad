#include "formats/json_reader.h"

#include <rapidjson/error/error.h>
#include <rapidjson/reader.h>

#include <cstdint>

#include "diagnostics/format.h"
#include "formats/internal/json_handler.h"
#include "formats/internal/rapidjson_allocator.h"
#include "formats/messages.h"

namespace zel {
namespace {

using formats::internal::JsonHandler;
using formats::internal::RapidJsonAllocator;
using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, RapidJsonAllocator>;

// The reader's string stack starts this small and grows as strings need.
constexpr std::size_t kStackCapacity = 256;

// The message table is indexed by the reader's own error codes.
static_assert(formats::messages::kJsonErrorTextCount ==
              rapidjson::kParseErrorUnspecificSyntaxError + 1);
static_assert(rapidjson::kParseErrorDocumentEmpty == 1);
static_assert(rapidjson::kParseErrorNumberMissExponent == 15);
static_assert(rapidjson::kParseErrorTermination == 16);

const char* errorText(rapidjson::ParseErrorCode code) noexcept {
  const auto index = static_cast<std::size_t>(code);
  return index < formats::messages::kJsonErrorTextCount ? formats::messages::kJsonErrorTexts[index]
                                                        : formats::messages::kJsonUnknownError;
}

}  // namespace

BindingValue readJson(const char* text) {
  BindingValue result;
  RapidJsonAllocator allocator;
  Reader reader(&allocator, kStackCapacity);
  rapidjson::StringStream stream(text != nullptr ? text : "");
  rapidjson::ParseResult parsed;
  {
    // Gone before the error is set: it releases what a failed read left open.
    JsonHandler handler(result);
    parsed = reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler);
  }
  if (parsed.IsError()) {
    result.setError(formatPositional(formats::messages::kJsonError, errorText(parsed.Code()),
                                     static_cast<std::uint32_t>(parsed.Offset())));
  }
  return result;
}

}  // namespace zel
