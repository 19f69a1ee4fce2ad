#include "diagnostics/internal/format_directive.h"

#include <cstring>

namespace zel::diagnostics::internal {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Saturates instead of wrapping, so a very long run of digits stays a very
// large number.
std::size_t readNumber(const char*& p) {
  constexpr std::size_t kLimit = 1000000000;
  std::size_t value = 0;
  while (isDigit(*p)) {
    if (value < kLimit) value = value * 10 + static_cast<std::size_t>(*p - '0');
    ++p;
  }
  return value;
}

struct Collector {
  DirectiveText& parsed;
  void add(char c) {
    if (parsed.length + 1 < kDirectiveBufferSize) {
      parsed.text[parsed.length] = c;
      parsed.text[parsed.length + 1] = '\0';
    }
    ++parsed.length;
  }
};

// A width or precision: "*", "*N$", or digits (a single '-' before the
// digits is skipped).
const char* readField(const char* p, Collector& out) {
  DirectiveText& parsed = out.parsed;
  if (*p == '*') {
    out.add('*');
    ++p;
    std::size_t index = 0;
    if (isDigit(*p)) {
      const char* digits = p;
      const std::size_t number = readNumber(digits);
      if (*digits == '$') {
        index = number == 0 ? kNoSuchArgument : number;
        p = digits + 1;
      }
    }
    if (parsed.starCount < 2) parsed.starIndexes[parsed.starCount++] = index;
    return p;
  }
  if (*p == '-' && isDigit(p[1])) ++p;
  while (isDigit(*p)) out.add(*p++);
  return p;
}

}  // namespace

const char* readDirective(const char* percent, std::size_t argumentCount,
                          DirectiveText& parsed) noexcept {
  parsed.text[0] = '\0';
  parsed.length = 0;
  parsed.argumentIndex = 0;
  parsed.starIndexes[0] = parsed.starIndexes[1] = 0;
  parsed.starCount = 0;
  Collector out{parsed};
  out.add('%');
  const char* p = percent + 1;

  if (*p >= '1' && *p <= '9') {
    const char* digits = p;
    const std::size_t number = readNumber(digits);
    if (number <= argumentCount) {
      parsed.argumentIndex = number;
      if (*digits != '$') return digits;  // "%N": the placeholder ends here
      p = digits + 1;
    }
    // Otherwise N names no argument: the digits are read again as a width.
  }

  while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) out.add(*p++);
  p = readField(p, out);
  if (*p == '.') {
    out.add(*p++);
    p = readField(p, out);
  }
  switch (*p) {
    case 'L':
    case 'j':
    case 't':
    case 'z':
      out.add(*p++);
      break;
    case 'h':
    case 'l': {
      const char modifier = *p;
      out.add(*p++);
      if (*p == modifier) out.add(*p++);
      break;
    }
    default:
      break;
  }
  if (*p != '\0') out.add(*p++);
  return p;
}

}  // namespace zel::diagnostics::internal
