#include "plugin/internal/plugin_log_target.h"

#include "boundary/log_level_codes.h"
#include "diagnostics/log_level.h"

namespace zel::plugin::internal {

// The logger's levels travel to the host unchanged, so they must be the
// host's codes (diagnostics includes nothing of ours, so it keeps its own).
static_assert(kLogOkay == kLogLevelOkay);
static_assert(kLogWarn == kLogLevelWarn);
static_assert(kLogError == kLogLevelError);
static_assert(kLogAlways == kLogLevelAlways);

bool PluginLogTarget::write(const LogRecord& record) {
  if (api_ != nullptr && api_->writeLog != nullptr) {
    api_->writeLog(api_, record.level, record.message);
  }
  return true;
}

}  // namespace zel::plugin::internal
