// The platform's own types and events that every plugin declares in its API
// registry at load, so that its API description names them: the plugin
// manager's state, the LCDS messages, the service-proxy response and the
// JSON-API resource event (plugin/json_api_event.h, which plugin_base.h
// includes).
//
//   registerPluginManagerTypes(plugin.registry());   // before registerApi
//   PluginResourceEvent event{"/zel-maps/v1/maps", PluginResourceEventType::Update, {}};
//
// The records are plain values; the registry owns their descriptors.
#pragma once

#include <cstdint>
#include <string>

#include "binding/value.h"
#include "plugin/json_api_event.h"

namespace zel {

class TypeRegistry;

enum class PluginManagerState : std::int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

// The key of PluginResourceEvent::data in the event's value.
inline constexpr char kResourceDataKey[] = "data";

struct PluginLcdsEvent {
  std::string clientId;
  std::string subtopic;
  std::string typeName;
  BindingValue body;
};

struct PluginLcdsResponse {
  std::string typeName;
  BindingValue body;
};

// A message from a remote service, delivered by the host through the three
// service-proxy events.
struct PluginServiceProxyResponse {
  std::string uuid;
  std::string serviceName;
  std::string methodName;
  std::string payload;
  std::string status;
  std::string error;
};

// Registers the seven types, then the five events with their descriptions,
// in that fixed order. Repeating it changes nothing: the first registration
// wins.
void registerPluginManagerTypes(TypeRegistry& registry);

}  // namespace zel
