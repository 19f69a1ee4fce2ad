#include "api/http_method.h"

#include "boundary/method_codes.h"

namespace zel {

// The enumeration is the plugin's spelling of the shared codes.
static_assert(httpMethodCode(HttpMethod::None) == kMethodNone);
static_assert(httpMethodCode(HttpMethod::Delete) == kMethodDelete);
static_assert(httpMethodCode(HttpMethod::Get) == kMethodGet);
static_assert(httpMethodCode(HttpMethod::Head) == kMethodHead);
static_assert(httpMethodCode(HttpMethod::Options) == kMethodOptions);
static_assert(httpMethodCode(HttpMethod::Patch) == kMethodPatch);
static_assert(httpMethodCode(HttpMethod::Post) == kMethodPost);
static_assert(httpMethodCode(HttpMethod::Put) == kMethodPut);
static_assert(httpMethodCode(HttpMethod::Custom) == kMethodCustom);

const char* httpMethodName(HttpMethod method) noexcept {
  return methodCodeName(httpMethodCode(method));
}

HttpMethod httpMethodFromHost(std::uint32_t code) noexcept {
  return code >= kMethodDelete && code <= kMethodCustom ? static_cast<HttpMethod>(code)
                                                        : HttpMethod::None;
}

}  // namespace zel
