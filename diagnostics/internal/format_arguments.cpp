// The renderers of the positional formatter. Each one turns the template's
// directive into a printf call that matches its own argument type: the
// conversion must be one the type allows (else the type's default is used),
// and the length modifier is always the type's own, so no template can make
// printf read an argument at the wrong width.
#include "diagnostics/internal/format_arguments.h"

#include <cstdio>
#include <cstring>

namespace zel::diagnostics::internal {
namespace {

// Widths and precisions beyond the output buffer change nothing visible (the
// text is cut at 4095 characters anyway), so they are capped; this keeps
// printf away from huge fields.
constexpr std::int32_t kFieldLimit = static_cast<std::int32_t>(kMessageBufferSize);

std::int32_t capField(std::int64_t value) {
  if (value > kFieldLimit) return kFieldLimit;
  if (value < -kFieldLimit) return -kFieldLimit;
  return static_cast<std::int32_t>(value);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The template's directive, read back into its parts.
struct Directive {
  char flags[6] = {};  // each of "-+ #0" at most once
  bool hasWidth = false;
  bool hasPrecision = false;
  std::int32_t width = 0;
  std::int32_t precision = 0;
  bool narrow = false;  // the template wrote "h" or "hh"
  char modifier[3] = {};
  char conversion = 0;
};

std::int32_t readField(const char*& p, const char* end, const RenderRequest& request,
                       std::size_t& star) {
  if (p < end && *p == '*') {
    ++p;
    const std::int32_t value = star < request.starCount ? request.stars[star] : 0;
    ++star;
    return capField(value);
  }
  std::int64_t value = 0;
  while (p < end && isDigit(*p)) {
    if (value <= kFieldLimit) value = value * 10 + (*p - '0');
    ++p;
  }
  return capField(value);
}

Directive readDirective(const RenderRequest& request, const char* allowed) {
  Directive parsed;
  if (request.directiveLength <= 1) {
    parsed.conversion = allowed[0];
    return parsed;
  }
  // The last character is the requested conversion; one the type does not
  // allow (including "n") gives way to the type's default.
  const char requested = request.directive[request.directiveLength - 1];
  parsed.conversion = std::strchr(allowed, requested) != nullptr ? requested : allowed[0];

  const char* p = request.directive + 1;
  const char* end = request.directive + request.directiveLength - 1;
  std::size_t flagCount = 0;
  while (p < end && std::strchr("-+ #0", *p) != nullptr) {
    if (std::memchr(parsed.flags, *p, flagCount) == nullptr) parsed.flags[flagCount++] = *p;
    ++p;
  }
  std::size_t star = 0;
  if (p < end && (*p == '*' || isDigit(*p))) {
    parsed.hasWidth = true;
    parsed.width = readField(p, end, request, star);
  }
  if (p < end && *p == '.') {
    ++p;
    parsed.hasPrecision = true;
    parsed.precision = readField(p, end, request, star);
  }
  std::size_t modifierLength = 0;
  while (p < end && modifierLength < 2) parsed.modifier[modifierLength++] = *p++;
  parsed.narrow = parsed.modifier[0] == 'h';
  return parsed;
}

// Builds "%" flags ["*"] [".*"] modifier conversion; only the flags in keep
// survive.
void buildFormat(const Directive& parsed, const char* keep, const char* modifier,
                 char (&format)[16]) {
  std::size_t length = 0;
  format[length++] = '%';
  for (const char* flag = parsed.flags; *flag != '\0'; ++flag) {
    if (std::strchr(keep, *flag) != nullptr) format[length++] = *flag;
  }
  if (parsed.hasWidth) format[length++] = '*';
  if (parsed.hasPrecision) {
    format[length++] = '.';
    format[length++] = '*';
  }
  for (; *modifier != '\0'; ++modifier) format[length++] = *modifier;
  format[length++] = parsed.conversion;
  format[length] = '\0';
}

template <typename T>
RenderResult emit(const Directive& parsed, const char (&format)[16], T value,
                  const RenderRequest& request) {
  int length;
  if (parsed.hasWidth && parsed.hasPrecision) {
    length =
        std::snprintf(request.out, request.space, format, parsed.width, parsed.precision, value);
  } else if (parsed.hasWidth) {
    length = std::snprintf(request.out, request.space, format, parsed.width, value);
  } else if (parsed.hasPrecision) {
    length = std::snprintf(request.out, request.space, format, parsed.precision, value);
  } else {
    length = std::snprintf(request.out, request.space, format, value);
  }
  if (length < 0) {
    request.out[0] = '\0';
    return {0, false};
  }
  const auto produced = static_cast<std::size_t>(length);
  if (produced >= request.space) return {request.space - 1, false};
  return {produced, true};
}

constexpr const char* kAllFlags = "-+ #0";
constexpr const char* kCharacterFlags = "-";

// Integer conversions other than "c": the type's own width, or the narrowing
// "h"/"hh" the template asked for (printf narrows an int safely).
RenderResult renderInteger(std::uint64_t bits, bool wide, Directive& parsed,
                           const RenderRequest& request) {
  char format[16];
  const bool signedConversion = parsed.conversion == 'd' || parsed.conversion == 'i';
  if (parsed.conversion == 'c') {
    buildFormat(parsed, kCharacterFlags, "", format);
    return emit(parsed, format, static_cast<int>(static_cast<std::uint32_t>(bits)), request);
  }
  if (parsed.narrow || !wide) {
    buildFormat(parsed, kAllFlags, parsed.narrow ? parsed.modifier : "", format);
    const auto low = static_cast<std::uint32_t>(bits);
    if (signedConversion) return emit(parsed, format, static_cast<int>(low), request);
    return emit(parsed, format, static_cast<unsigned int>(low), request);
  }
  buildFormat(parsed, kAllFlags, "ll", format);
  if (signedConversion) return emit(parsed, format, static_cast<long long>(bits), request);
  return emit(parsed, format, static_cast<unsigned long long>(bits), request);
}

}  // namespace

RenderResult renderText(std::string_view text, const RenderRequest& request) noexcept {
  Directive parsed = readDirective(request, "s");
  // The precision bounds the read, so the text need not be terminated.
  std::size_t shown = text.size();
  if (parsed.hasPrecision && parsed.precision >= 0 &&
      static_cast<std::size_t>(parsed.precision) < shown) {
    shown = static_cast<std::size_t>(parsed.precision);
  }
  if (shown > static_cast<std::size_t>(kFieldLimit)) shown = static_cast<std::size_t>(kFieldLimit);
  parsed.hasPrecision = true;
  parsed.precision = static_cast<std::int32_t>(shown);
  char format[16];
  buildFormat(parsed, kCharacterFlags, "", format);
  return emit(parsed, format, text.data(), request);
}

RenderResult renderCharacter(char value, const RenderRequest& request) noexcept {
  Directive parsed = readDirective(request, "cdiouxX");
  if (parsed.conversion == 'c') {
    char format[16];
    buildFormat(parsed, kCharacterFlags, "", format);
    return emit(parsed, format, static_cast<int>(static_cast<unsigned char>(value)), request);
  }
  const auto number = static_cast<std::int64_t>(value);
  return renderInteger(static_cast<std::uint64_t>(number), false, parsed, request);
}

RenderResult renderSigned(std::int64_t value, bool wide, const RenderRequest& request) noexcept {
  Directive parsed = readDirective(request, "dciouxX");
  return renderInteger(static_cast<std::uint64_t>(value), wide, parsed, request);
}

RenderResult renderUnsigned(std::uint64_t value, bool wide, const RenderRequest& request) noexcept {
  Directive parsed = readDirective(request, "ucdioxX");
  return renderInteger(value, wide, parsed, request);
}

RenderResult renderDouble(double value, const RenderRequest& request) noexcept {
  const Directive parsed = readDirective(request, "gaefGAEF");
  char format[16];
  buildFormat(parsed, kAllFlags, "", format);
  return emit(parsed, format, value, request);
}

}  // namespace zel::diagnostics::internal
