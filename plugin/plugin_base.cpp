// PluginBase's life: construction, the attach and shutdown entry points the
// host calls, and what the plugin object answers about itself. The event
// members are in plugin/plugin_events.cpp, the request members in
// plugin/plugin_requests.cpp.
#include "plugin/plugin_base.h"

#include <string>
#include <vector>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"
#include "memory/memory.h"
#include "plugin/internal/plugin_access.h"
#include "plugin/json_api_event.h"
#include "plugin/messages.h"

namespace zel {
namespace {

using plugin::internal::HostChannel;
using plugin::internal::PluginAccess;
using plugin::internal::PluginState;
namespace text = plugin::messages;

void installLogTarget(PluginState& state) {
  if (state.connection == nullptr ||
      logger::findTarget(plugin::internal::PluginLogTarget::kName) != nullptr) {
    return;
  }
  // From now on the plugin's lines go to the host only.
  if (auto* target = logger::stdErrTarget()) target->detach();
  if (auto* target = logger::stdOutTarget()) target->detach();
  if (auto* target = logger::debuggerTarget()) target->detach();
  logger::setMinimumLevel(kLogOkay);
  logger::setMuteMask(kTagXtr);
  state.logTarget = std::make_unique<plugin::internal::PluginLogTarget>(state.connection->api);
  state.logTarget->configure(logger::minimumLevel(), 0, 0, text::kPluginLineTemplate);
}

// Hands the ERROR lines logged during load to the host's writeLog, which
// could not see them then: before attach the plugin's lines go to the
// console targets only.
void forwardLoadErrors(const PluginState& state) {
  if (state.connection == nullptr || state.connection->api == nullptr) return;
  HostApi* api = state.connection->api;
  if (api->writeLog == nullptr) return;
  for (const std::string& line : state.loadErrors) api->writeLog(api, kLogError, line.c_str());
}

// Takes over the connection, creates the telemetry sender (destroying any
// earlier one) and subscribes the three service-proxy events.
void connect(PluginBase& plugin, PluginState& state, HostChannel host,
             const std::string& userAgent) {
  state.host = host;
  state.shortName = state.names.shortName;
  state.userAgent = userAgent;
  state.telemetry = std::make_unique<plugin::internal::PluginTelemetrySender>(plugin);

  constexpr std::uint32_t kServiceProxyFlag = 1;
  plugin::internal::ServiceProxy& proxy = state.serviceProxy;
  plugin.subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyUuidEvent,
      [&proxy](const PluginServiceProxyResponse& message) { proxy.receiveByUuid(message); },
      kServiceProxyFlag);
  plugin.subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyMethodEvent,
      [&proxy](const PluginServiceProxyResponse& message) { proxy.receiveByMethod(message); },
      kServiceProxyFlag);
  plugin.subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyAsyncEvent,
      [&proxy](const PluginServiceProxyResponse& message) { proxy.receiveAsync(message); },
      kServiceProxyFlag);
}

// Called once the plugin has started: every exact listener's URI whose
// JSON-API event has no counted subscription is subscribed with
// subscribeEvent (so a later unsubscribeEvent releases it), since resource
// events reach listeners only through a subscription. Pattern listeners are
// left alone: a pattern does not name one event (a "*" among the segments
// that make the event name stands for many), and subscribing
// "OnJsonApiEvent" for it would deliver every resource of every plugin.
void subscribeListenedUris(PluginBase& plugin, PluginState& state) {
  std::vector<std::string> uris;
  {
    std::lock_guard<std::mutex> lock(state.tablesMutex);
    uris = state.resourceListeners.exactUris();
  }
  for (const std::string& uri : uris) {
    if (plugin.subscriptionCount(jsonApiEventName(uri)) <= 0) plugin.subscribeEvent(uri);
  }
}

// The attach sequence: log target, user agent, connection, start.
bool attach(PluginBase& plugin, HostConnection* connection) {
  PluginState& state = PluginAccess::state(plugin);
  state.connection = connection;
  installLogTarget(state);
  forwardLoadErrors(state);
  const std::string userAgent =
      formatPositional(text::kUserAgent, state.hostVersion, state.names.shortName);
  connect(plugin, state,
          connection != nullptr ? HostChannel(connection->api, connection->pluginHandle)
                                : HostChannel(),
          userAgent);
  const bool started = plugin.start();
  if (started) subscribeListenedUris(plugin, state);
  return started;
}

// The entry points handed to the host; each catches everything.
std::uint8_t attachEntry(void* plugin, HostConnection* connection) noexcept {
  if (plugin == nullptr) return 0;
  try {
    return attach(*static_cast<PluginBase*>(plugin), connection) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

void shutdownEntry(void* plugin) noexcept {
  if (plugin == nullptr) return;
  auto* self = static_cast<PluginBase*>(plugin);
  try {
    PluginAccess::state(*self).shuttingDown = 1;
    self->stop();
  } catch (...) {
    // The object goes away whatever stop managed to do.
  }
  delete self;
}

void getMemoryStatsEntry(void*, MemoryStats* stats) noexcept {
  if (stats != nullptr) memory::readStats(*stats);
}

}  // namespace

PluginBase::PluginBase() : state_(std::make_unique<PluginState>()) {
  logger::acquire();
  state_->entryPoints = PluginEntryPoints{&attachEntry, &shutdownEntry, &getMemoryStatsEntry};
}

PluginBase::~PluginBase() {
  state_->logTarget.reset();
  logger::release();
}

const PluginNames& PluginBase::names() const noexcept {
  return state_->names;
}

const std::string& PluginBase::apiPrefix() const noexcept {
  return state_->apiPrefix;
}

const std::vector<std::string>& PluginBase::tags() const noexcept {
  return state_->tags;
}

const PluginApiVersion& PluginBase::hostVersion() const noexcept {
  return state_->hostVersion;
}

TypeRegistry& PluginBase::registry() noexcept {
  return *state_->registry;
}

const std::string& PluginBase::userAgent() const noexcept {
  return state_->userAgent;
}

bool PluginBase::shuttingDown() const noexcept {
  return state_->shuttingDown != 0;
}

}  // namespace zel
