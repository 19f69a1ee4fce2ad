// Every text the dev tool's JSON documents produce, as templates for
// fillTemplate ("%1", "%2" in argument order); beside the host library's
// own in the same namespace.
#pragma once

#include <string_view>

namespace zel::host::messages {

// JSON given to the host (arguments, event payloads).
inline constexpr std::string_view kInvalidJson = "Invalid JSON at offset %1: %2";
// %1 the offset just after the bracket that opens one level too many, %2 the
// deepest nesting accepted (the plugin's readers refuse the same).
inline constexpr std::string_view kJsonTooDeep =
    "Invalid JSON at offset %1: Containers are nested deeper than %2 levels.";

}  // namespace zel::host::messages
