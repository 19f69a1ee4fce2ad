// The documentation facts a plugin gives in its routes' text lists (keys in
// boundary/description_records.h): per route, the status of a success and
// the statuses it may fail with; for the whole plugin, its version, the
// required fields of its structures and its enums' declaration order.
//
//   RouteFacts route = readRouteFacts(function);
//   PluginFacts plugin = readPluginFacts(catalog);
//   plugin.version;   // "1.2.0", or empty when the plugin declares none
//
// Lists with an unknown key, or a status that is not a number from 100 to
// 599, are skipped. The first list of a kind wins.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/description/api_catalog.h"

namespace zel::host {

struct StatusFact {
  std::uint32_t status = 0;
  std::string meaning;
};

struct RouteFacts {
  StatusFact success;  // status 0 when the route declares none
  std::vector<StatusFact> errors;
};

struct PluginFacts {
  std::string version;
  std::map<std::string, std::vector<std::string>, std::less<>> required;   // by structure
  std::map<std::string, std::vector<std::string>, std::less<>> enumOrder;  // by enum
};

[[nodiscard]] RouteFacts readRouteFacts(const FunctionInfo& function);
[[nodiscard]] PluginFacts readPluginFacts(const ApiCatalog& catalog);

}  // namespace zel::host
