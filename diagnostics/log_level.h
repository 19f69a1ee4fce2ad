// Log levels: a signed 32-bit code and the six-character name "#L" prints.
//
//   zel::logMessage(zel::kLogError, zel::kTagDbg, "%s", text);
//   const char* name = zel::logLevelName(zel::kLogWarn);  // "  WARN"
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::int32_t kLogOkay = 0;
inline constexpr std::int32_t kLogWarn = 1;
inline constexpr std::int32_t kLogError = 2;
inline constexpr std::int32_t kLogAlways = 3;

// "  OKAY", "  WARN", " ERROR", "ALWAYS"; "     ?" for any other code.
const char* logLevelName(std::int32_t level) noexcept;

}  // namespace zel
