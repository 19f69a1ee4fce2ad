#include "diagnostics/log_level.h"
#include "diagnostics/log_names.h"

#include "boundary/log_level_codes.h"

namespace zel {

// The logger's levels are the host's writeLog codes, so both print a level by
// the one table of names the boundary keeps.
static_assert(kLogOkay == kLogLevelOkay && kLogWarn == kLogLevelWarn &&
              kLogError == kLogLevelError && kLogAlways == kLogLevelAlways);

const char* logLevelName(std::int32_t level) noexcept {
  const char* name = logLevelCodeName(level);
  return *name != '\0' ? name : "     ?";
}

}  // namespace zel
