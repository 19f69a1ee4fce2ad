// The OpenAPI 3.1 document zel-host makes of a plugin's API description
// (zel-host describe --openapi, and /openapi.json of serve): its paths come
// from the routes, its parameters from the argument locations, and its
// schemas are the registered structures and enums the routes reach, directly
// or through fields and elements.
//
//   ApiCatalog catalog = readApiCatalog(host.description());
//   std::string text = toJson(openApiDocument(catalog, {"zel-maps", "18.0.0"}),
//                             JsonStyle::Indented);
//
// Pure functions: the document is a plain HostValue tree, in a stable order
// (paths by template and method, schemas by name).
#pragma once

#include <cstdint>
#include <string_view>

#include "host/description/api_catalog.h"
#include "host/dev/documents/describe_document.h"
#include "host/host_value.h"

namespace zel::host {

// The name of the schema that error answers use.
inline constexpr std::string_view kErrorSchemaName = "ZelHostError";

HostValue openApiDocument(const ApiCatalog& catalog, const ApiDocumentInfo& info);

// The OpenAPI operation key of a method code ("get", "post"...); empty for
// custom and unknown methods, which OpenAPI cannot express.
std::string_view openApiMethod(std::uint32_t method);

}  // namespace zel::host
