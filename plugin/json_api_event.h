// The JSON-API event name of a resource URI: the event a change of that
// resource is published under, and the name a counted subscription to the
// URI subscribes.
//
//   jsonApiEventName("/zel-maps/v2/map/7/MODE_A");   // "OnJsonApiEvent_zel-maps_v2_map"
//   jsonApiEventName("x");                           // "OnJsonApiEvent_x"
//
// Returns an owned text; keeps nothing.
#pragma once

#include <string>
#include <string_view>

namespace zel {

// "OnJsonApiEvent" followed by the URI's non-empty "/"-separated segments,
// joined with "_" and cut to four entries in all, or to six when the first
// segment is "zel-platform-config".
[[nodiscard]] std::string jsonApiEventName(std::string_view uri);

}  // namespace zel
