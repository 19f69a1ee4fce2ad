// The argument location codes of ArgumentLocationNode::location: where a
// request may give the value of a routed function's argument.
//
//   node.location = kLocationPath;
//   knownLocationCode(9);  // kLocationAny: an unknown code restricts nothing
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::uint32_t kLocationAny = 0;       // any source
inline constexpr std::uint32_t kLocationQuery = 1;     // the query string
inline constexpr std::uint32_t kLocationPath = 2;      // a placeholder of the URL template
inline constexpr std::uint32_t kLocationHostOnly = 3;  // only a named or positional host argument
inline constexpr std::uint32_t kLocationHeader = 4;    // a request header
inline constexpr std::uint32_t kLocationBody = 5;      // the request body

// The number of codes, 0 included: every code below it is a location.
inline constexpr std::uint32_t kLocationCount = kLocationBody + 1;

// The code itself, or kLocationAny for a code from kLocationCount on: both
// sides give and take an unknown location as unrestricted.
constexpr std::uint32_t knownLocationCode(std::uint32_t code) noexcept {
  return code < kLocationCount ? code : kLocationAny;
}

}  // namespace zel
