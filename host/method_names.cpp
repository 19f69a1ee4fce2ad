#include "host/method_names.h"

#include <array>

namespace zel::host {

namespace {

constexpr std::array<std::string_view, 8> kNames = {"",        "DELETE", "GET",  "HEAD",
                                                    "OPTIONS", "PATCH",  "POST", "PUT"};

}  // namespace

std::string_view methodName(std::uint32_t code) {
  return code < kNames.size() ? kNames[code] : std::string_view();
}

std::uint32_t methodCode(std::string_view name) {
  for (std::uint32_t code = 1; code < kNames.size(); ++code) {
    if (kNames[code] == name) return code;
  }
  return 0;
}

}  // namespace zel::host
