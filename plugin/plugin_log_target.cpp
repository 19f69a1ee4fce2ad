#include "plugin/plugin_log_target.h"

namespace zel {

bool PluginLogTarget::write(const LogRecord& record) {
  if (api_ != nullptr && api_->writeLog != nullptr) {
    api_->writeLog(api_, record.level, record.message);
  }
  return true;
}

}  // namespace zel
