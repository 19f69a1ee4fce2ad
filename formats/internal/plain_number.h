// The number a plain YAML scalar reads as: the text must read completely as a
// number the way the C library's text-to-double conversion reads one
// (leading white space, a sign, decimal or hexadecimal forms, "inf" and
// "nan"), but independently of the process's locale.
//
//   readPlainNumber("42");    // Unsigned 42
//   readPlainNumber("-7");    // Signed -7
//   readPlainNumber("1e3");   // Unsigned 1000
//   readPlainNumber("2.5");   // Float 2.5
//   readPlainNumber("1.2.3"); // None
//
// Integral values become integers (0 or more unsigned, negative signed), the
// others floats, NaN included. Texts of decimal or hexadecimal integers that
// fit in 64 bits are read exactly, not through a double. Infinities are not
// numbers here, and integral values outside the 64-bit ranges stay floats.
#pragma once

#include <cstdint>
#include <string_view>

namespace zel::formats::internal {

struct PlainNumber {
  enum class Kind : std::uint8_t { None, Unsigned, Signed, Float };

  Kind kind = Kind::None;
  std::uint64_t unsignedValue = 0;
  std::int64_t signedValue = 0;
  double floatValue = 0.0;
};

[[nodiscard]] PlainNumber readPlainNumber(std::string_view text) noexcept;

}  // namespace zel::formats::internal
