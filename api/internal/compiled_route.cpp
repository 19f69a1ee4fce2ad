#include "api/internal/compiled_route.h"

namespace zel::api::internal {
namespace {

std::size_t totalLength(const PathArguments& arguments) noexcept {
  std::size_t total = 0;
  for (const auto& entry : arguments) total += entry.second.size();
  return total;
}

bool acceptsMethod(const RouteDescriptor& route, const RequestContext& request) noexcept {
  if (route.method() == HttpMethod::None) return true;
  return route.method() == request.method &&
         std::string_view(route.customMethod()) ==
             (request.method == HttpMethod::Custom ? request.customMethod : std::string_view());
}

}  // namespace

CompiledRoute CompiledRoute::of(const RouteDescriptor& descriptor) {
  CompiledRoute route(descriptor.function(), descriptor);
  route.exactPath_ = descriptor.exactPath();
  route.pattern_ = descriptor.pattern();
  return route;
}

CompiledRoute CompiledRoute::compile(const FunctionDescriptor& function,
                                     const RouteDescriptor& descriptor,
                                     std::string_view urlTemplate) {
  CompiledRoute route(function, descriptor);
  if (templateHasPlaceholders(urlTemplate)) {
    route.pattern_ = PathPattern::compile(urlTemplate);
  } else {
    route.ownedPath_ = std::make_shared<const std::string>(urlTemplate);
    route.exactPath_ = *route.ownedPath_;
  }
  return route;
}

bool CompiledRoute::matchPath(std::string_view path, PathArguments& arguments) const {
  if (!pattern_) return !exactPath_.empty() && path == exactPath_;
  return pattern_->match(path, arguments);
}

bool matchRoutes(RequestContext& request, std::span<const CompiledRoute> routes,
                 bool ignoreMethod) {
  bool selected = false;
  std::size_t selectedLength = 0;
  for (const CompiledRoute& route : routes) {
    PathArguments arguments;
    if (!route.matchPath(request.path, arguments)) continue;
    if (!ignoreMethod && !acceptsMethod(route.descriptor(), request)) continue;
    const std::size_t length = totalLength(arguments);
    if (selected && length >= selectedLength) continue;
    selected = true;
    selectedLength = length;
    request.function = &route.function();
    request.descriptor = &route.descriptor();
    request.pathArguments = std::move(arguments);
    if (request.pathArguments.empty()) break;
  }
  return selected;
}

}  // namespace zel::api::internal
