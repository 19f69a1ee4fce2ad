// ArgumentLocation: where a request may give the value of a function's
// argument. Every argument starts unrestricted; a route declaration narrows
// it (path and body arguments) and the host learns it from the description.
//
//   descriptor.setLocation(0, ArgumentLocation::Path);
//
// The codes of boundary/description_records.h, shared with the host.
#pragma once

#include <cstdint>

#include "boundary/description_records.h"

namespace zel {

enum class ArgumentLocation : std::uint32_t {
  Any = kLocationAny,            // any source
  Query = kLocationQuery,        // the query string
  Path = kLocationPath,          // a placeholder of the URL template
  HostOnly = kLocationHostOnly,  // only a named or positional host argument
  Header = kLocationHeader,      // a request header
  Body = kLocationBody,          // the request body
};
// A location code added to the boundary needs its enumerator here.
static_assert(static_cast<std::uint32_t>(ArgumentLocation::Body) + 1 == kLocationCount);

// The code as the host reads it: codes above Body are given as Any.
[[nodiscard]] constexpr std::uint32_t argumentLocationCode(ArgumentLocation location) noexcept {
  return knownLocationCode(static_cast<std::uint32_t>(location));
}

}  // namespace zel
