// The documents zel-host makes of a plugin's API description: a JSON view of
// every function, type and event (zel-host describe), and an OpenAPI 3.1
// document whose paths come from the routes, whose parameters come from the
// argument locations and whose schemas are the registered structures and
// enums the routes reach, directly or through fields and elements (zel-host
// describe --openapi, and /openapi.json of serve).
//
//   ApiCatalog catalog = readApiCatalog(host.description());
//   std::string text = toJson(openApiDocument(catalog, {"zel-maps", "18.0.0"}),
//                             JsonStyle::Indented);
//
// Pure functions: the documents are plain HostValue trees, in a stable order
// (functions by template and method, types and events by name).
#pragma once

#include <string>
#include <string_view>

#include "host/description/api_catalog.h"
#include "host/host_value.h"

namespace zel::host {

struct ApiDocumentInfo {
  std::string pluginName;  // the plugin's short name
  std::string version;     // the plugin API version it speaks
};

// The name of the schema that error answers use.
inline constexpr std::string_view kErrorSchemaName = "ZelHostError";

// The name of an argument location code ("path", "host"...); "any" for
// kLocationAny and unknown codes.
std::string_view locationName(std::uint32_t location);

HostValue describeDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info);
HostValue openApiDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info);

// The OpenAPI operation key of a method code ("get", "post"...); empty for
// custom and unknown methods, which OpenAPI cannot express.
std::string_view openApiMethod(std::uint32_t method);

}  // namespace zel::host
