// The level codes of HostApi::writeLog, and the six-character name of each.
// Both sides print a level by these names.
//
//   logLevelCodeName(kLogLevelError);  // " ERROR"
//   logLevelCodeName(7);               // "": a code without a name
//
// Names are static, zero-terminated texts.
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::int32_t kLogLevelOkay = 0;
inline constexpr std::int32_t kLogLevelWarn = 1;
inline constexpr std::int32_t kLogLevelError = 2;
inline constexpr std::int32_t kLogLevelAlways = 3;

// Indexed by code.
inline constexpr const char* kLogLevelNames[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
inline constexpr std::int32_t kLogLevelCount = sizeof(kLogLevelNames) / sizeof(kLogLevelNames[0]);
static_assert(kLogLevelCount == kLogLevelAlways + 1);

// The level's name; the empty text for a negative code and for any code from
// kLogLevelCount on.
constexpr const char* logLevelCodeName(std::int32_t code) noexcept {
  return code >= 0 && code < kLogLevelCount ? kLogLevelNames[code] : "";
}

}  // namespace zel
