// CompiledRoute: the matcher of one route as a call uses it, and route
// selection: which of a list of routes a request's method and path select,
// with the decoded values of the selected route's placeholders.
//
//   RequestContext request{HttpMethod::Get, {}, "/zel-maps/v1/map/42"};
//   CompiledRoute route = CompiledRoute::of(descriptor);
//   if (matchRoutes(request, {&route, 1}, false)) request.pathArguments.at("id");  // "42"
//
// A CompiledRoute shares the pattern its RouteDescriptor compiled once (the
// reference count is atomic) and belongs to the thread serving the request,
// as does the RequestContext.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "api/http_method.h"
#include "api/internal/path_pattern.h"
#include "api/internal/route_descriptor.h"

namespace zel::api::internal {

class CompiledRoute {
 public:
  // The route as its descriptor compiled it at declaration.
  [[nodiscard]] static CompiledRoute of(const RouteDescriptor& descriptor);
  // A route compiled afresh from a template (the descriptor's URL template,
  // or the function's name when that is empty, is what of() uses).
  [[nodiscard]] static CompiledRoute compile(const FunctionDescriptor& function,
                                             const RouteDescriptor& descriptor,
                                             std::string_view urlTemplate);

  [[nodiscard]] const FunctionDescriptor& function() const noexcept { return *function_; }
  [[nodiscard]] const RouteDescriptor& descriptor() const noexcept { return *descriptor_; }
  // Set only for a template without placeholders.
  [[nodiscard]] std::string_view exactPath() const noexcept { return exactPath_; }
  // Present only for a template with placeholders.
  [[nodiscard]] const std::shared_ptr<const PathPattern>& pattern() const noexcept {
    return pattern_;
  }

  // Matches the whole path (query included, exactly as delivered). An exact
  // path compares bytes; a pattern stores the decoded captures in arguments.
  [[nodiscard]] bool matchPath(std::string_view path, PathArguments& arguments) const;

 private:
  CompiledRoute(const FunctionDescriptor& function, const RouteDescriptor& descriptor)
      : function_(&function), descriptor_(&descriptor) {}

  const FunctionDescriptor* function_;
  const RouteDescriptor* descriptor_;
  // Views the descriptor's exact path, or the text a fresh compile keeps.
  std::string_view exactPath_;
  std::shared_ptr<const std::string> ownedPath_;
  std::shared_ptr<const PathPattern> pattern_;
};

// One call's request as route selection sees it, and what selection fills in.
struct RequestContext {
  HttpMethod method = HttpMethod::None;
  std::string_view customMethod;  // compared when the method is Custom
  std::string_view path;          // with any "?" and query
  // Set by matchRoutes on a selection.
  const FunctionDescriptor* function = nullptr;
  const RouteDescriptor* descriptor = nullptr;
  PathArguments pathArguments;
};

// Walks the routes in order; a route is a candidate when its path matches
// and (unless ignoreMethod) its method accepts the request's: method None
// accepts every request, any other must be equal, custom names included. The
// first candidate is selected; a later one replaces it only when the total
// length of its decoded placeholder values is strictly smaller. A candidate
// without placeholder values ends the walk. True when a route was selected.
[[nodiscard]] bool matchRoutes(RequestContext& request, std::span<const CompiledRoute> routes,
                               bool ignoreMethod);

}  // namespace zel::api::internal
