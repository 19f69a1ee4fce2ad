// PluginAccess: the SDK's and the tests' way into what a plugin object keeps
// from its author: its state (plugin/internal/plugin_state.h), the
// dispatcher the host calls with each event, the service proxy and the
// telemetry sender.
//
//   PluginAccess::serviceProxy(plugin).addWaiter("a1b2", onAnswer);
//   PluginAccess::dispatch<PluginResourceEvent>(&event);   // as the host would
//
// Holds nothing; every accessor reads the plugin object's own state.
#pragma once

#include <cstdint>

#include "plugin/internal/plugin_state.h"
#include "plugin/plugin_base.h"

namespace zel::plugin::internal {

class PluginAccess {
 public:
  static PluginState& state(PluginBase& plugin) noexcept { return *plugin.state_; }
  static const PluginState& state(const PluginBase& plugin) noexcept { return *plugin.state_; }

  // The callback handed to the host for events with payload T.
  template <typename T>
  static std::int32_t dispatch(const HostEvent* event) noexcept {
    return PluginBase::dispatch<T>(event);
  }

  static ServiceProxy& serviceProxy(PluginBase& plugin) noexcept {
    return state(plugin).serviceProxy;
  }
  // Null until attach.
  static TelemetrySender* telemetry(const PluginBase& plugin) noexcept {
    return state(plugin).telemetry.get();
  }
};

}  // namespace zel::plugin::internal
