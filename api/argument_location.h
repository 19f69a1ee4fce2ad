// ArgumentLocation: where a request may give the value of a function's
// argument. Every argument starts unrestricted; a route declaration narrows
// it (path and body arguments) and the host learns it from the description.
//
//   descriptor.setLocation(0, ArgumentLocation::Path);
//
// A 32-bit code shared with the host.
#pragma once

#include <cstdint>

namespace zel {

enum class ArgumentLocation : std::uint32_t {
  Any = 0,       // any source
  Query = 1,     // the query string
  Path = 2,      // a placeholder of the URL template
  HostOnly = 3,  // only a named or positional host argument
  Header = 4,    // a request header
  Body = 5,      // the request body
};

// The code as the host reads it: codes above 5 are given as 0.
[[nodiscard]] constexpr std::uint32_t argumentLocationCode(ArgumentLocation location) noexcept {
  const auto code = static_cast<std::uint32_t>(location);
  return code <= 5 ? code : 0;
}

}  // namespace zel
