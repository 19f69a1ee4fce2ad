// The platform's own types and events that every plugin declares in its API
// registry at load, so that its API description names them: the plugin
// manager's state, the JSON-API resource event, the LCDS messages and the
// service-proxy response, and the listeners of resource events.
//
//   registerPluginManagerTypes(plugin.registry());   // before registerApi
//   PluginResourceEvent event{"/zel-maps/v1/maps", PluginResourceEventType::Update, {}};
//
// The records are plain values; the registry owns their descriptors.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "binding/value.h"

namespace zel {

class TypeRegistry;

enum class PluginManagerState : std::int32_t {
  NotReady = 0,
  PluginsInitialized = 1,
};

struct PluginManagerResource {
  PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : std::int32_t {
  Create = 0,
  Update = 1,
  Delete = 2,
};

// What a resource event carries: the resource's URI, what happened to it and
// the resource as a generic value.
// The key of PluginResourceEvent::data in the event's value.
inline constexpr char kResourceDataKey[] = "data";

struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  BindingValue data;
};

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

// A listener of the resource events of a URI or pattern
// (PluginBase::addResourceListener).
using ResourceListener = std::function<void(const PluginResourceEvent&)>;

// Registers the seven types, then the five events with their descriptions,
// in that fixed order. Repeating it changes nothing: the first registration
// wins.
void registerPluginManagerTypes(TypeRegistry& registry);

}  // namespace zel
