// PluginLogTarget: the log target that forwards every log message to the
// host's writeLog entry, with the record's level and its formatted message
// (not the templated line). Installed by attach; owned by the plugin object.
#pragma once

#include "boundary/host_api.h"
#include "diagnostics/log_target.h"

namespace zel::plugin::internal {

class PluginLogTarget final : public LogTarget {
 public:
  static constexpr const char* kName = "PluginLogTarget";

  explicit PluginLogTarget(HostApi* api) : api_(api) {}
  ~PluginLogTarget() override { detach(); }

  const char* name() const override { return kName; }
  bool write(const LogRecord& record) override;

 private:
  HostApi* api_;
};

}  // namespace zel::plugin::internal
