// Reading numbers from the texts of string values, as the value-to-native
// conversions accept them: integers with automatic base ("0x1F", "017",
// "42", optional leading white space and sign) and decimal or hexadecimal
// floating-point texts. The whole text must be a number; an empty text is 0.
//
//   std::int64_t n;
//   parseSigned("0x7fffffff", INT32_MIN, INT32_MAX, n);   // Ok, n == 2147483647
//   parseSigned("12a", INT32_MIN, INT32_MAX, n);          // Format
//
// Texts are read with their full length (a NUL byte is a character that does
// not belong to a number) and independently of the process's locale.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel::binding::internal {

enum class ParseOutcome : std::uint8_t {
  Ok,
  Format,  // characters remain after the number
  Range,   // outside [min, max], or does not fit in 64 bits
};

// out is written only when the outcome is Ok.
[[nodiscard]] ParseOutcome parseSigned(std::string_view text, std::int64_t min, std::int64_t max,
                                       std::int64_t& out) noexcept;
// A text whose number carries a "-" is out of range (even "-0").
[[nodiscard]] ParseOutcome parseUnsigned(std::string_view text, std::uint64_t max,
                                         std::uint64_t& out) noexcept;
// A result outside [min, max], or one that overflows or underflows a double,
// is out of range; a NaN text ("nan") passes the range test.
[[nodiscard]] ParseOutcome parseFloating(std::string_view text, double min, double max,
                                         double& out) noexcept;

}  // namespace zel::binding::internal
