#include "api/internal/route_descriptor.h"

#include "api/route_template.h"

namespace zel::api::internal {

RouteDescriptor::RouteDescriptor(FunctionDescriptor& function,
                                 std::unique_ptr<FunctionHandler> handler)
    : function_(&function),
      handler_(std::move(handler)),
      locations_(function.arguments().size(), ArgumentLocation::Any) {
  setUrlTemplate({});
}

void RouteDescriptor::setUrlTemplate(std::string_view urlTemplate) {
  urlTemplate_ = storedTemplate(urlTemplate);
  const std::string& matched = urlTemplate_.empty() ? function_->name() : urlTemplate_;
  if (templateHasPlaceholders(matched)) {
    exactPath_.clear();
    pattern_ = PathPattern::compile(matched);
  } else {
    exactPath_ = matched;
    pattern_.reset();
  }
}

void RouteDescriptor::setMethod(HttpMethod method, std::string_view customMethod) {
  method_ = method;
  customMethod_ = customMethod;
}

void RouteDescriptor::setLocation(std::size_t index, ArgumentLocation location) {
  if (index >= locations_.size()) locations_.resize(index + 1, ArgumentLocation::Any);
  locations_[index] = location;
}

RouteDescriptor* RouteTable::find(const FunctionDescriptor& function) const {
  std::lock_guard lock(mutex_);
  auto found = routes_.find(&function);
  return found != routes_.end() ? found->second.get() : nullptr;
}

std::vector<RouteDescriptor*> RouteTable::snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<RouteDescriptor*> out;
  out.reserve(routes_.size());
  for (const auto& entry : routes_) out.push_back(entry.second.get());
  return out;
}

}  // namespace zel::api::internal
