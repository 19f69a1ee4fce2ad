#include "binding/convert_number.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace zel::binding::internal {

namespace {

constexpr bool isSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

struct ScannedInteger {
  bool negative = false;
  bool overflow = false;
  bool complete = false;  // nothing follows the number
  std::uint64_t magnitude = 0;
};

// Reads an integer with automatic base the way the C library's strtoll does:
// white space, a sign, "0x" before a hex digit for base 16, a leading "0" for
// base 8, else base 10. When no digit is found nothing counts as read.
ScannedInteger scanInteger(std::string_view text) noexcept {
  ScannedInteger result;
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    result.negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i < text.size() && text[i] == '0') {
    base = 8;
    if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digitValue(text[i + 2]) < 16) {
      base = 16;
      i += 2;
    }
  }
  const std::size_t digitsStart = i;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (; i < text.size(); ++i) {
    const auto digit = static_cast<unsigned>(digitValue(text[i]));
    if (digit >= base) break;
    if (result.magnitude > (kMax - digit) / base) {
      result.overflow = true;
    } else {
      result.magnitude = result.magnitude * base + digit;
    }
  }
  if (i == digitsStart) {
    // No number at all: only the empty text reads as a complete 0.
    result = ScannedInteger{};
    result.complete = text.empty();
    return result;
  }
  result.complete = i == text.size();
  return result;
}

}  // namespace

ParseOutcome parseSigned(std::string_view text, std::int64_t min, std::int64_t max,
                         std::int64_t& out) noexcept {
  const ScannedInteger scanned = scanInteger(text);
  if (!scanned.complete) return ParseOutcome::Format;
  if (scanned.overflow) return ParseOutcome::Range;
  constexpr std::uint64_t kMaxMagnitude = std::uint64_t{1} << 63;
  std::int64_t value;
  if (scanned.negative) {
    if (scanned.magnitude > kMaxMagnitude) return ParseOutcome::Range;
    value = static_cast<std::int64_t>(0 - scanned.magnitude);  // two's complement, no overflow
  } else {
    if (scanned.magnitude >= kMaxMagnitude) return ParseOutcome::Range;
    value = static_cast<std::int64_t>(scanned.magnitude);
  }
  if (value < min || value > max) return ParseOutcome::Range;
  out = value;
  return ParseOutcome::Ok;
}

ParseOutcome parseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) noexcept {
  const ScannedInteger scanned = scanInteger(text);
  if (!scanned.complete) return ParseOutcome::Format;
  if (scanned.overflow || scanned.negative || scanned.magnitude > max) return ParseOutcome::Range;
  out = scanned.magnitude;
  return ParseOutcome::Ok;
}

ParseOutcome parseFloating(std::string_view text, double min, double max, double& out) noexcept {
  const char* const end = text.data() + text.size();
  const char* p = text.data();
  while (p != end && isSpace(*p)) ++p;
  if (p == end) {
    if (!text.empty()) return ParseOutcome::Format;  // only white space
    out = 0.0;
    return ParseOutcome::Ok;
  }
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
    if (p != end && (*p == '+' || *p == '-')) return ParseOutcome::Format;
  }
  double value = 0.0;
  std::from_chars_result read{};
  if (end - p > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    if (p[2] == '+' || p[2] == '-') return ParseOutcome::Format;
    read = std::from_chars(p + 2, end, value, std::chars_format::hex);
  } else {
    read = std::from_chars(p, end, value, std::chars_format::general);
  }
  if (read.ec == std::errc::invalid_argument || read.ptr != end) return ParseOutcome::Format;
  if (read.ec == std::errc::result_out_of_range) return ParseOutcome::Range;
  if (negative) value = -value;
  if (value < min || value > max) return ParseOutcome::Range;
  out = value;
  return ParseOutcome::Ok;
}

}  // namespace zel::binding::internal
