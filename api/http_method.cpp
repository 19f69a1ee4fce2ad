#include "api/http_method.h"

namespace zel {

const char* httpMethodName(HttpMethod method) noexcept {
  return methodCodeName(httpMethodCode(method));
}

HttpMethod httpMethodFromHost(std::uint32_t code) noexcept {
  return code >= kMethodDelete && code <= kMethodCustom ? static_cast<HttpMethod>(code)
                                                        : HttpMethod::None;
}

}  // namespace zel
