// PluginState: everything a plugin object holds behind its one pointer
// (plugin/plugin_base.h): what the load handshake sets (names, host version,
// registry, entry points, API description, the load's error lines), what
// attach sets (host channel, log target, user agent, telemetry sender), and
// the event machinery: the handler, subscription-count and resource-listener
// tables, the service proxy and the dropped-event warning limiter.
//
//   PluginState& state = PluginAccess::state(plugin);
//   SharedHandler record = state.findHandler("OnRegionLocaleChanged");
//
// Owned by the plugin object from construction until it is destroyed. The
// handler, count and listener tables share tablesMutex, held only to read or
// change them; the service proxy has its own mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "binding/type_registry.h"
#include "boundary/description_records.h"
#include "boundary/host_api.h"
#include "plugin/identity.h"
#include "plugin/internal/events.h"
#include "plugin/internal/events_text_table.h"
#include "plugin/internal/host_channel.h"
#include "plugin/internal/plugin_log_target.h"
#include "plugin/internal/resource_listeners.h"
#include "plugin/internal/service_proxy.h"
#include "plugin/internal/telemetry.h"
#include "plugin/internal/warning_limiter.h"
#include "plugin/plugin_manager_types.h"

namespace zel::plugin::internal {

using SharedHandler = std::shared_ptr<const EventHandlerRecord>;

struct PluginState {
  PluginState();
  ~PluginState();
  PluginState(const PluginState&) = delete;
  PluginState& operator=(const PluginState&) = delete;

  // The load handshake: names, tags and the API name prefix from the short
  // name, and the host's version.
  void setIdentity(const std::string& shortName, const PluginKind& kind,
                   const PluginApiVersion& hostVersion);

  void storeHandler(std::string_view eventName, SharedHandler record);
  [[nodiscard]] SharedHandler findHandler(const char* eventName) const;
  // Logs at WARN that the event was dropped and why, once a second per
  // event name at most.
  void warnDroppedEvent(const char* eventName, std::string_view cause) const noexcept;
  // The resource-event handler: the event with its URI "/" prefixed goes
  // to the exact listener of the URI, then to every matching pattern's.
  void deliverResourceEvent(const PluginResourceEvent& event);
  void notifyResourceListeners(const PluginResourceEvent& event);

  // Set at load.
  PluginApiVersion hostVersion;
  PluginNames names;
  std::string apiPrefix;
  std::vector<std::string> tags;
  std::unique_ptr<TypeRegistry> registry = std::make_unique<TypeRegistry>();
  PluginEntryPoints entryPoints{};
  ApiDescription apiDescription{};
  std::vector<std::string> loadErrors;  // the ERROR lines of the load, in order

  // Set at attach.
  HostConnection* connection = nullptr;
  HostChannel host;
  std::unique_ptr<PluginLogTarget> logTarget;
  std::string shortName;
  std::string userAgent;
  std::unique_ptr<TelemetrySender> telemetry;
  std::uint8_t shuttingDown = 0;

  mutable std::mutex tablesMutex;  // handlers, counts and listeners
  ResourceListeners resourceListeners;
  TextTable<SharedHandler> eventHandlers;
  TextTable<std::int32_t> subscriptionCounts;  // kept across stop
  ServiceProxy serviceProxy{shortName};
  mutable WarningLimiter droppedEventWarnings;
};

}  // namespace zel::plugin::internal
