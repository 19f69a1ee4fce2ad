// Identifier derivation: turns a method and a URL template into a function
// name, and a plugin's short name into its API name prefix.
//
//   functionName(HttpMethod::Get, "/zel-maps/v1/map/{id}");  // "GetZelMapsV1MapById"
//   deriveName("", "zel-maps");                              // "ZelMaps"
//
// Results are owned strings.
#pragma once

#include <string>
#include <string_view>

#include "api/http_method.h"

namespace zel {

// Walks prefix + text: "!", "+", "-", ".", "/" and "_" are dropped and start
// a new word; "{" writes "By" and starts a new word; "}" is dropped; the first
// letter of every word is upper-cased.
[[nodiscard]] std::string deriveName(std::string_view prefix, std::string_view text);

// The name of the function a route declares: the method's name with all but
// its first letter in lower case and a "/" ("Get/"; nothing for a method
// without a name), then the template, walked by deriveName.
[[nodiscard]] std::string functionName(HttpMethod method, std::string_view urlTemplate);

}  // namespace zel
