// Log levels: the signed 32-bit codes a message is logged at (their names
// are in diagnostics/log_names.h).
//
//   zel::logMessage(zel::kLogError, zel::kTagDbg, "%s", text);
#pragma once

#include <cstdint>

namespace zel {

inline constexpr std::int32_t kLogOkay = 0;
inline constexpr std::int32_t kLogWarn = 1;
inline constexpr std::int32_t kLogError = 2;
inline constexpr std::int32_t kLogAlways = 3;

}  // namespace zel
