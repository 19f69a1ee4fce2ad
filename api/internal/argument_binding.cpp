#include "api/internal/argument_binding.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <unordered_map>

#include "api/internal/percent_decoding.h"
#include "api/messages.h"
#include "binding/convert_flat.h"
#include "binding/function_descriptor.h"
#include "diagnostics/format.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"

namespace zel::api::internal {
namespace {

namespace messages = api::messages;

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Null texts from the host read as empty texts.
std::string_view hostText(const char* text) noexcept {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

enum class IndexOutcome { Ok, Format, Range };

// An unsigned number with automatic base ("0x" hexadecimal, a leading "0"
// octal, else decimal) making up the whole segment.
IndexOutcome parseIndex(std::string_view segment, std::uint64_t& index) noexcept {
  std::size_t i = 0;
  unsigned base = 10;
  if (segment.size() > 2 && segment[0] == '0' && (segment[1] == 'x' || segment[1] == 'X') &&
      std::isxdigit(static_cast<unsigned char>(segment[2]))) {
    base = 16;
    i = 2;
  } else if (!segment.empty() && segment[0] == '0') {
    base = 8;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (; i < segment.size(); ++i) {
    const char c = segment[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    if (value > (UINT64_MAX - digit) / base) overflow = true;
    value = value * base + digit;
  }
  if (i < segment.size()) return IndexOutcome::Format;
  if (overflow || value > kMaxDottedIndex) return IndexOutcome::Range;
  index = value;
  return IndexOutcome::Ok;
}

class ArgumentBinder {
 public:
  ArgumentBinder(const HostRequest& request, const RequestContext& context, CallResult& call,
                 std::vector<BindingValue>& arguments)
      : request_(request),
        context_(context),
        function_(*context.function),
        route_(*context.descriptor),
        call_(call),
        arguments_(arguments) {}

  void bindHeaders();
  void bindPathArguments();
  void bindQuery();
  void bindHostArguments();
  void bindBody();

 private:
  bool ok() const noexcept { return call_.ok(); }
  const char* functionName() const noexcept { return function_.name().c_str(); }
  std::size_t findArgument(std::string_view name) const noexcept;
  void bindNamed(std::string_view key, std::string_view value, ArgumentLocation location);
  void bindEmpty(ValueNode& slot, const ArgumentDescriptor& argument);
  void decodeText(ValueNode& slot, std::string_view text, bool structured,
                  const ArgumentDescriptor& argument);
  void walkDotted(ValueNode& slot, std::string_view rest, std::string_view value);

  const HostRequest& request_;
  const RequestContext& context_;
  const FunctionDescriptor& function_;
  const RouteDescriptor& route_;
  CallResult& call_;
  std::vector<BindingValue>& arguments_;
};

std::size_t ArgumentBinder::findArgument(std::string_view name) const noexcept {
  const auto& arguments = function_.arguments();
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].name() == name) return i;
  }
  return kNotFound;
}

void ArgumentBinder::bindHeaders() {
  if (request_.headers == nullptr || request_.headerCount == 0) return;
  const auto& arguments = function_.arguments();
  std::string lowerName;
  for (std::size_t i = 0; i < arguments.size() && ok(); ++i) {
    const ArgumentLocation location = route_.location(i);
    if (location != ArgumentLocation::Any && location != ArgumentLocation::Header) continue;
    lowerName = arguments[i].name();
    std::transform(lowerName.begin(), lowerName.end(), lowerName.begin(), [](char c) {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    // Header names are compared exactly as the host delivered them; the
    // last header of a name wins.
    for (std::uint32_t h = request_.headerCount; h-- > 0;) {
      if (hostText(request_.headers[2 * h]) == lowerName) {
        bindNamed(arguments[i].name(), hostText(request_.headers[2 * h + 1]),
                  ArgumentLocation::Header);
        break;
      }
    }
  }
}

void ArgumentBinder::bindPathArguments() {
  for (const auto& [name, value] : context_.pathArguments) {
    if (!ok()) return;
    bindNamed(name, value, ArgumentLocation::Path);
  }
}

void ArgumentBinder::bindQuery() {
  const std::string_view path = context_.path;
  const std::size_t mark = path.find('?');
  if (mark == std::string_view::npos) return;
  std::unordered_map<std::string, std::string> query;
  std::string_view rest = path.substr(mark + 1);
  while (true) {
    const std::size_t amp = rest.find('&');
    const std::string_view piece = rest.substr(0, amp);
    const std::size_t equals = piece.find('=');
    std::string name = percentDecode(piece.substr(0, equals));
    std::string value =
        equals == std::string_view::npos ? std::string() : percentDecode(piece.substr(equals + 1));
    query.insert_or_assign(std::move(name), std::move(value));
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  for (const auto& [name, value] : query) {
    if (!ok()) return;
    bindNamed(name, value, ArgumentLocation::Query);
  }
}

void ArgumentBinder::bindHostArguments() {
  if (request_.parameters == nullptr) return;
  for (std::uint32_t i = 0; i < request_.parameterCount && ok(); ++i) {
    const RequestParameter& parameter = request_.parameters[i];
    const char* name = parameter.name;  // read out of the packed record
    std::size_t index = kNotFound;
    if (name != nullptr) {
      index = findArgument(name);
      if (index == kNotFound) {
        call_.setError(formatPositional(messages::kUnknownArgument, name, functionName()));
        return;
      }
    } else {
      // Positional arguments follow the path arguments.
      const std::size_t position = i + context_.pathArguments.size();
      if (position >= function_.arguments().size()) {
        call_.setError(formatPositional(messages::kUnknownArgument, position, functionName()));
        return;
      }
      index = position;
    }
    const FlatConversion read = flatToValue(arguments_[index], parameter.value,
                                            function_.arguments()[index].name().c_str());
    if (!read.ok()) call_.setError(read.errorMessage());
  }
}

void ArgumentBinder::bindBody() {
  if (request_.body == nullptr) return;
  std::size_t index = kNotFound;
  for (std::size_t i = 0; i < function_.arguments().size(); ++i) {
    if (route_.location(i) == ArgumentLocation::Body) {
      index = i;
      break;
    }
  }
  if (index == kNotFound) return;

  const char* body = static_cast<const char*>(request_.body);
  const std::size_t length = request_.bodyLength;
  const std::string_view contentType = hostText(request_.contentType);
  BindingValue decoded;
  if (startsWithNoCase(contentType, "application/x-msgpack")) {
    MessagePackReader reader(body, length);
    decoded = reader.read();
    if (decoded.ok() && reader.position() < length) {
      decoded.setError(messages::kExtraMessagePackData);
    }
  } else {
    // Text bodies end at their first NUL byte, and never beyond their length.
    const void* nul = std::memchr(body, 0, length);
    const std::string_view text(body,
                                nul != nullptr ? static_cast<const char*>(nul) - body : length);
    if (startsWithNoCase(contentType, "application/json") ||
        startsWithNoCase(contentType, "application/vnd.api+json")) {
      decoded = nul != nullptr ? readJson(body) : readJson(std::string(text).c_str());
    } else if (startsWithNoCase(contentType, "application/x-yaml")) {
      decoded = readYaml(text);
    } else {
      decoded.setError(messages::kUnsupportedContentType);
    }
  }
  if (!decoded.ok()) {
    call_.setError(decoded.errorMessage());
    return;
  }
  arguments_[index] = std::move(decoded);
}

void ArgumentBinder::bindNamed(std::string_view key, std::string_view value,
                               ArgumentLocation location) {
  const std::size_t dot = key.find('.');
  const std::string_view base = key.substr(0, dot);
  const std::size_t index = findArgument(base);
  if (index == kNotFound) {
    call_.setError(formatPositional(messages::kUnknownArgument, base, functionName()));
    return;
  }
  const ArgumentLocation allowed = route_.location(index);
  if (allowed != ArgumentLocation::Any && allowed != location) {
    call_.setError(formatPositional(messages::kInvalidLocation, base, functionName()));
    return;
  }
  const ArgumentDescriptor& argument = function_.arguments()[index];
  ValueNode& slot = arguments_[index];
  if (dot != std::string_view::npos) {
    walkDotted(slot, key.substr(dot + 1), value);
  } else if (!value.empty()) {
    decodeText(slot, value, isStructuredArgument(argument), argument);
  } else {
    bindEmpty(slot, argument);
  }
}

void ArgumentBinder::bindEmpty(ValueNode& slot, const ArgumentDescriptor& argument) {
  switch (argument.type().kind) {
    case TypeKind::Bool:
      slot.setBool(true);
      break;
    case TypeKind::Object:
    case TypeKind::Struct:
    case TypeKind::Map:
      slot.reset();
      slot.makeStructure();
      break;
    case TypeKind::Vector:
      slot.reset();
      slot.makeCollection();
      break;
    default:
      call_.setError(formatPositional(messages::kExpectedValue, argument.name()));
      break;
  }
}

void ArgumentBinder::decodeText(ValueNode& slot, std::string_view text, bool structured,
                                const ArgumentDescriptor& argument) {
  if (structured && !text.empty()) {
    const auto first = static_cast<unsigned char>(text.front());
    const char* decoder = nullptr;
    BindingValue decoded;
    const std::size_t start = std::min(text.find_first_not_of(' '), text.size());
    if ((first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF)) {
      decoder = messages::kMessagePackArgument;
      decoded = MessagePackReader(text.data(), text.size()).read();
    } else if (start < text.size() && (text[start] == '{' || text[start] == '[')) {
      decoder = messages::kJsonArgument;
      decoded = readJson(std::string(text).c_str());
    } else if (text.substr(start).starts_with("---")) {
      decoder = messages::kYamlArgument;
      decoded = readYaml(text);
    }
    if (decoder != nullptr) {
      if (!decoded.ok()) {
        call_.setError(
            formatPositional(decoder, argument.name(), functionName(), decoded.errorMessage()));
        return;
      }
      slot = std::move(decoded);
      return;
    }
  }
  slot.setString(text);
}

void ArgumentBinder::walkDotted(ValueNode& slot, std::string_view rest, std::string_view value) {
  ValueNode* current = &slot;
  while (true) {
    const std::size_t dot = rest.find('.');
    const std::string_view segment = rest.substr(0, dot);
    if (!segment.empty() && segment.front() >= '0' && segment.front() <= '9') {
      std::uint64_t index = 0;
      switch (parseIndex(segment, index)) {
        case IndexOutcome::Format:
          call_.setError(formatPositional(messages::kIndexIncorrectFormat, segment));
          return;
        case IndexOutcome::Range:
          call_.setError(formatPositional(messages::kIndexOutOfRange, segment));
          return;
        case IndexOutcome::Ok:
          break;
      }
      current = &current->element(static_cast<std::size_t>(index));
    } else {
      current = &current->field(segment);
    }
    if (dot == std::string_view::npos) {
      // The innermost value is never examined for structured data.
      current->setString(value);
      return;
    }
    rest.remove_prefix(dot + 1);
  }
}

}  // namespace

bool isStructuredArgument(const ArgumentDescriptor& argument) noexcept {
  switch (argument.type().kind) {
    case TypeKind::Object:
    case TypeKind::Vector:
    case TypeKind::Struct:
    case TypeKind::Map:
      return true;
    default:
      return false;
  }
}

std::vector<BindingValue> gatherArguments(const HostRequest& request, const RequestContext& context,
                                          CallResult& call) {
  const FunctionDescriptor& function = *context.function;
  std::vector<BindingValue> arguments(function.arguments().size());
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const ArgumentDescriptor& argument = function.arguments()[i];
    if (argument.type().kind == TypeKind::Bool && !argument.optional()) arguments[i].setBool(false);
  }
  ArgumentBinder binder(request, context, call, arguments);
  binder.bindHeaders();
  if (call.ok()) binder.bindPathArguments();
  if (call.ok()) binder.bindQuery();
  if (call.ok()) binder.bindHostArguments();
  binder.bindBody();
  return arguments;
}

}  // namespace zel::api::internal
