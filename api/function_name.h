// Identifier derivation: turns a method prefix and a URL template, or a
// plugin's short name, into an upper-camel-case identifier.
//
//   deriveName("Get/", "/zel-maps/v1/map/{id}");  // "GetZelMapsV1MapById"
//   deriveName("", "zel-maps");                   // "ZelMaps"
#pragma once

#include <string>
#include <string_view>

namespace zel {

// Walks prefix + text: "!", "+", "-", ".", "/" and "_" are dropped and start
// a new word; "{" writes "By" and starts a new word; "}" is dropped; the first
// letter of every word is upper-cased.
[[nodiscard]] std::string deriveName(std::string_view prefix, std::string_view text);

}  // namespace zel
