// The JSON-API resource event: what happened to the resource at a URI, the
// listeners of such events, and the event name a change of that resource is
// published under (which a counted subscription to the URI subscribes).
//
//   publishResource(PluginResourceEventType::Update, "/zel-maps/v1/maps", maps);
//   jsonApiEventName("/zel-maps/v2/map/7/MODE_A");   // "OnJsonApiEvent_zel-maps_v2_map"
//   jsonApiEventName("x");                           // "OnJsonApiEvent_x"
//
// Plain values; a listener is owned by the plugin it is added to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "binding/value.h"

namespace zel {

enum class PluginResourceEventType : std::int32_t { Create = 0, Update = 1, Delete = 2 };

// The resource's URI, what happened to it and the resource as a generic value.
struct PluginResourceEvent {
  std::string uri;
  PluginResourceEventType eventType = PluginResourceEventType::Create;
  BindingValue data;
};

// A listener of the resource events of a URI or pattern
// (PluginBase::addResourceListener).
using ResourceListener = std::function<void(const PluginResourceEvent&)>;

// "OnJsonApiEvent" followed by the URI's non-empty "/"-separated segments,
// joined with "_" and cut to four entries in all, or to six when the first
// segment is "zel-platform-config".
[[nodiscard]] std::string jsonApiEventName(std::string_view uri);

}  // namespace zel
