// The method codes of HostRequest::method and of the function records, and
// the standard names of codes 1 to 7. Both sides print a code by these names.
//
//   methodCodeName(2);              // "GET"
//   methodCodeName(kMethodCustom);  // "": a custom method names itself
//
// Names are static, zero-terminated texts.
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::uint32_t kMethodNone = 0;
inline constexpr std::uint32_t kMethodDelete = 1;
inline constexpr std::uint32_t kMethodGet = 2;
inline constexpr std::uint32_t kMethodHead = 3;
inline constexpr std::uint32_t kMethodOptions = 4;
inline constexpr std::uint32_t kMethodPatch = 5;
inline constexpr std::uint32_t kMethodPost = 6;
inline constexpr std::uint32_t kMethodPut = 7;
// The request's customMethod text names the method.
inline constexpr std::uint32_t kMethodCustom = 8;

// Indexed by code: code 0 names no method.
inline constexpr const char* kMethodNames[] = {"",        "DELETE", "GET",  "HEAD",
                                               "OPTIONS", "PATCH",  "POST", "PUT"};
inline constexpr std::uint32_t kNamedMethodCount = sizeof(kMethodNames) / sizeof(kMethodNames[0]);
static_assert(kNamedMethodCount == kMethodCustom);

// The standard name of a code; the empty text for 0, 8 and any other code.
constexpr const char* methodCodeName(std::uint32_t code) noexcept {
  return code < kNamedMethodCount ? kMethodNames[code] : "";
}

}  // namespace zel
