#include "api/http_method.h"

namespace zel {

const char* httpMethodName(HttpMethod method) noexcept {
  static constexpr const char* kNames[] = {"",        "DELETE", "GET",  "HEAD",
                                           "OPTIONS", "PATCH",  "POST", "PUT"};
  const std::uint32_t code = httpMethodCode(method);
  return code < sizeof(kNames) / sizeof(kNames[0]) ? kNames[code] : "";
}

HttpMethod httpMethodFromHost(std::uint32_t code) noexcept {
  return code >= 1 && code <= 8 ? static_cast<HttpMethod>(code) : HttpMethod::None;
}

}  // namespace zel
