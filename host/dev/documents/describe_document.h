// The JSON view zel-host describe prints of a plugin's API description:
// every function (its method, template, arguments and their locations,
// result), every registered type and every event, with the plugin's name and
// the plugin API version it speaks.
//
//   ApiCatalog catalog = readApiCatalog(host.description());
//   std::string text = toJson(describeDocument(catalog, {"zel-maps", "18.0.0"}),
//                             JsonStyle::Indented);
//
// A pure function: the document is a plain HostValue tree, in a stable order
// (functions by template and method, types and events by name).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/description/api_catalog.h"
#include "host/host_value.h"

namespace zel::host {

// What the documents say of the plugin besides its catalogue.
struct ApiDocumentInfo {
  std::string pluginName;  // the plugin's short name
  std::string version;     // the plugin API version it speaks
};

// The name of an argument location code ("path", "host"...); "any" for
// kLocationAny and unknown codes.
std::string_view locationName(std::uint32_t location);

HostValue describeDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info);

}  // namespace zel::host
