#include "plugin/plugin_base.h"

#include "api/function_name.h"
#include "binding/type_registry.h"
#include "diagnostics/console_log_targets.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "memory/memory.h"
#include "plugin/internal/messages.h"
#include "plugin/internal/plugin_log_target.h"
#include "plugin/internal/telemetry.h"

namespace zel {

PluginBase::PluginBase() : registry_(std::make_unique<TypeRegistry>()) {
  logger::acquire();
  entryPoints_ = PluginEntryPoints{&PluginBase::attachEntry, &PluginBase::shutdownEntry,
                                   &PluginBase::getMemoryStatsEntry};
}

PluginBase::~PluginBase() {
  logTarget_.reset();
  logger::release();
}

void PluginBase::setIdentity(const std::string& shortName, const PluginKind& kind,
                             const PluginApiVersion& hostVersion) {
  hostVersion_ = hostVersion;
  names_ = PluginNames::derive(shortName, kind);
  tags_ = {"Plugins", "Plugin " + shortName};
  apiPrefix_ = deriveName("", shortName);
}

bool PluginBase::attach(HostConnection* connection) {
  connection_ = connection;
  installLogTarget();
  forwardLoadErrors();
  const std::string userAgent =
      formatPositional(plugin::messages::kUserAgent, hostVersion_, names_.shortName);
  connect(connection != nullptr ? HostChannel(connection->api, connection->pluginHandle)
                                : HostChannel(),
          names_.shortName, userAgent, registry_.get(), this,
          std::make_unique<PluginTelemetrySender>(*this));
  const bool started = start();
  if (started) subscribeListenedUris();
  return started;
}

void PluginBase::installLogTarget() {
  if (connection_ == nullptr || logger::findTarget(PluginLogTarget::kName) != nullptr) return;
  // From now on the plugin's lines go to the host only.
  if (auto* target = logger::stdErrTarget()) target->detach();
  if (auto* target = logger::stdOutTarget()) target->detach();
  if (auto* target = logger::debuggerTarget()) target->detach();
  logger::setMinimumLevel(kLogOkay);
  logger::setMuteMask(kTagXtr);
  logTarget_ = std::make_unique<PluginLogTarget>(connection_->api);
  logTarget_->configure(logger::minimumLevel(), 0, 0, plugin::messages::kPluginLineTemplate);
}

void PluginBase::forwardLoadErrors() const {
  if (connection_ == nullptr || connection_->api == nullptr) return;
  HostApi* api = connection_->api;
  if (api->writeLog == nullptr) return;
  for (const std::string& line : loadErrors_) api->writeLog(api, kLogError, line.c_str());
}

std::uint8_t PluginBase::attachEntry(void* plugin, HostConnection* connection) noexcept {
  if (plugin == nullptr) return 0;
  try {
    return static_cast<PluginBase*>(plugin)->attach(connection) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

void PluginBase::shutdownEntry(void* plugin) noexcept {
  if (plugin == nullptr) return;
  auto* self = static_cast<PluginBase*>(plugin);
  try {
    self->shuttingDown_ = 1;
    self->stop();
  } catch (...) {
    // The object goes away whatever stop managed to do.
  }
  delete self;
}

void PluginBase::getMemoryStatsEntry(void*, MemoryStats* stats) noexcept {
  if (stats != nullptr) memory::readStats(*stats);
}

}  // namespace zel
