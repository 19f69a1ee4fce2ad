#include "host/conversions/method_names.h"

namespace zel::host {

std::string_view methodName(std::uint32_t code) {
  return methodCodeName(code);
}

std::uint32_t methodCode(std::string_view name) {
  for (std::uint32_t code = kMethodDelete; code < kNamedMethodCount; ++code) {
    if (kMethodNames[code] == name) return code;
  }
  return kMethodNone;
}

}  // namespace zel::host
