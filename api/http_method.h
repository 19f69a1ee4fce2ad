// HttpMethod: the method code shared with the host in both directions (routes
// of the plugin, requests it sends; the codes of boundary/method_codes.h),
// and the names messages print for it.
//
//   httpMethodName(HttpMethod::Get);        // "GET"
//
// Names are static texts.
#pragma once

#include <cstdint>

#include "boundary/method_codes.h"

namespace zel {

enum class HttpMethod : std::uint32_t {
  None = kMethodNone,  // a route that accepts every method
  Delete = kMethodDelete,
  Get = kMethodGet,
  Head = kMethodHead,
  Options = kMethodOptions,
  Patch = kMethodPatch,
  Post = kMethodPost,
  Put = kMethodPut,
  Custom = kMethodCustom,  // the method's name travels as a text of its own
};

// "DELETE" to "PUT" for codes 1 to 7; the empty text for 0, 8 and any other code.
[[nodiscard]] const char* httpMethodName(HttpMethod method) noexcept;

[[nodiscard]] constexpr std::uint32_t httpMethodCode(HttpMethod method) noexcept {
  return static_cast<std::uint32_t>(method);
}

}  // namespace zel
