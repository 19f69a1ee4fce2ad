#include "diagnostics/log_level.h"

namespace zel {

const char* logLevelName(std::int32_t level) noexcept {
  static constexpr const char* kNames[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
  if (level < kLogOkay || level > kLogAlways) return "     ?";
  return kNames[level];
}

}  // namespace zel
