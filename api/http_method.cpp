#include "api/http_method.h"

namespace zel {

const char* httpMethodName(HttpMethod method) noexcept {
  return methodCodeName(httpMethodCode(method));
}

}  // namespace zel
