// Names of the method codes shared with the plugin (1 "DELETE" to 7 "PUT";
// 8 is a custom method named by its own text; anything else has no name),
// as the host prints and parses them.
//
//   zel::host::methodName(2);          // "GET"
//   zel::host::methodCode("POST");     // 6
#pragma once

#include <cstdint>
#include <string_view>

#include "boundary/method_codes.h"

namespace zel::host {

[[nodiscard]] std::string_view methodName(std::uint32_t code);

// The code of a method name (exact, upper case); 0 when it names none.
[[nodiscard]] std::uint32_t methodCode(std::string_view name);

}  // namespace zel::host
