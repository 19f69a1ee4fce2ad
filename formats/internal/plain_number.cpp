#include "formats/internal/plain_number.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace zel::formats::internal {
namespace {

constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

bool isSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool isDecimalDigit(char c) noexcept {
  return c >= '0' && c <= '9';
}
bool isHexDigit(char c) noexcept {
  return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool allOf(std::string_view text, bool (*predicate)(char) noexcept) noexcept {
  if (text.empty()) return false;
  for (char c : text) {
    if (!predicate(c)) return false;
  }
  return true;
}

PlainNumber fromMagnitude(std::uint64_t magnitude, bool negative) noexcept {
  PlainNumber number;
  if (!negative || magnitude == 0) {  // -0 reads as 0, which is not negative
    number.kind = PlainNumber::Kind::Unsigned;
    number.unsignedValue = magnitude;
  } else {
    number.kind = PlainNumber::Kind::Signed;
    number.signedValue = static_cast<std::int64_t>(0u - magnitude);
  }
  return number;
}

// For a number the double range cannot hold: whether its magnitude is huge
// (overflow) rather than tiny (underflow). Only the rough binary or decimal
// exponent matters, as such numbers lie hundreds of orders away from 1.
bool magnitudeOverflows(std::string_view digits, bool hex) noexcept {
  const char exponentMark = hex ? 'p' : 'e';
  const long digitWeight = hex ? 4 : 1;
  std::size_t i = 0;
  long scale = 0;
  bool seenNonZero = false;
  bool inFraction = false;
  for (; i < digits.size(); ++i) {
    const char c = digits[i];
    if (c == '.') {
      inFraction = true;
      continue;
    }
    if ((c | 0x20) == exponentMark) break;
    if (!seenNonZero && c == '0') {
      if (inFraction) scale -= digitWeight;
      continue;
    }
    if (!seenNonZero) {
      seenNonZero = true;
      if (inFraction) scale -= digitWeight;
      continue;
    }
    if (!inFraction) scale += digitWeight;
  }
  long exponent = 0;
  bool negativeExponent = false;
  if (i < digits.size()) {
    ++i;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
      negativeExponent = digits[i] == '-';
      ++i;
    }
    for (; i < digits.size() && isDecimalDigit(digits[i]); ++i) {
      if (exponent < 100'000'000) exponent = exponent * 10 + (digits[i] - '0');
    }
  }
  return scale + (negativeExponent ? -exponent : exponent) > 0;
}

}  // namespace

PlainNumber readPlainNumber(std::string_view text) noexcept {
  std::size_t start = 0;
  while (start < text.size() && isSpace(text[start])) ++start;
  bool negative = false;
  if (start < text.size() && (text[start] == '+' || text[start] == '-')) {
    negative = text[start] == '-';
    ++start;
  }
  std::string_view body = text.substr(start);
  const bool hex = body.size() > 1 && body[0] == '0' && (body[1] | 0x20) == 'x';
  if (hex) body.remove_prefix(2);
  // One sign at most, and before any "0x" (the conversions below would take another).
  if (body.empty() || body[0] == '-' || body[0] == '+') return {};
  // After "0x" come hex digits or the point: the conversion below would also
  // take the words ("0xnan"), which no hexadecimal number spells.
  if (hex && !isHexDigit(body[0]) && body[0] != '.') return {};
  const char* const bodyEnd = body.data() + body.size();

  // Integers are read exactly when they fit in 64 bits, not through a double
  // that would round them.
  const bool integral = allOf(body, hex ? isHexDigit : isDecimalDigit);
  if (integral) {
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(body.data(), bodyEnd, magnitude, hex ? 16 : 10);
    if (error == std::errc() && end == bodyEnd &&
        (!negative || magnitude <= static_cast<std::uint64_t>(INT64_MAX) + 1)) {
      return fromMagnitude(magnitude, negative);
    }
  }

  double value = 0.0;
  const auto [end, error] = std::from_chars(
      body.data(), bodyEnd, value, hex ? std::chars_format::hex : std::chars_format::general);
  if (end != bodyEnd) return {};
  if (error == std::errc::result_out_of_range) {
    value = magnitudeOverflows(body, hex) ? HUGE_VAL : 0.0;
  } else if (error != std::errc()) {
    return {};
  }
  if (negative) value = -value;

  PlainNumber number;
  if (std::isinf(value)) return number;
  // An integer beyond 64 bits stays a float: near the limits its double
  // would round into range.
  if (integral || std::isnan(value) || value != std::trunc(value) || value >= kTwoTo64 ||
      value < -kTwoTo63) {
    number.kind = PlainNumber::Kind::Float;
    number.floatValue = value;
  } else if (value >= 0.0) {
    number.kind = PlainNumber::Kind::Unsigned;
    number.unsignedValue = static_cast<std::uint64_t>(value);
  } else {
    number.kind = PlainNumber::Kind::Signed;
    number.signedValue = static_cast<std::int64_t>(value);
  }
  return number;
}

}  // namespace zel::formats::internal
