// The plugin's names: the kind it is (backend or frontend) and the names
// derived from its short name.
//
//   PluginNames names = PluginNames::derive("zel-maps", backendKind());
//   names.fullName;  // "plx-be-zel-maps"
#pragma once

#include <string>

namespace zel {

struct PluginKind {
  std::string name;
  std::string detail;
};

// The two predefined kinds; both have an empty detail.
const PluginKind& backendKind();
const PluginKind& frontendKind();

struct PluginNames {
  std::string fullName;
  std::string shortName;
  std::string kindName;
  std::string kindDetail;

  // The full name gets "plx-be-" or "plx-fe-" for the two predefined kinds
  // and "plx-xx-" for any other, which is also reported on the error log.
  [[nodiscard]] static PluginNames derive(const std::string& shortName, const PluginKind& kind);
};

}  // namespace zel
