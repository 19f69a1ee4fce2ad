// RouteDescriptor: what a route declaration records for one function: its
// handler, URL template, method, the location of every argument, and the
// matcher compiled from the template. RouteTable: the registry's map of them,
// keyed by function, with a mutex of its own.
//
//   RouteTable& routes = RegistryAccess::attachment<RouteTable>(registry);
//   RouteDescriptor* route = routes.find(function);
//   route->location(0);      // ArgumentLocation::Path
//
// The table (a registry attachment) owns the descriptors and they own their
// handlers; both live as long as the registry. Descriptors are filled while
// the plugin declares its routes and only read afterwards, by any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/argument_location.h"
#include "api/handler_adapter.h"
#include "api/http_method.h"
#include "api/internal/path_pattern.h"
#include "binding/registry_access.h"

namespace zel::api::internal {

class RouteDescriptor {
 public:
  // Starts with one unrestricted location per argument the function has now.
  RouteDescriptor(FunctionDescriptor& function, std::unique_ptr<FunctionHandler> handler);
  RouteDescriptor(const RouteDescriptor&) = delete;
  RouteDescriptor& operator=(const RouteDescriptor&) = delete;

  [[nodiscard]] FunctionDescriptor& function() const noexcept { return *function_; }
  [[nodiscard]] FunctionHandler& handler() const noexcept { return *handler_; }
  [[nodiscard]] const std::string& urlTemplate() const noexcept { return urlTemplate_; }
  [[nodiscard]] HttpMethod method() const noexcept { return method_; }
  [[nodiscard]] const std::string& customMethod() const noexcept { return customMethod_; }
  // Passed to the host unchanged; nothing here sets them.
  [[nodiscard]] std::uint8_t flag() const noexcept { return flag_; }
  [[nodiscard]] const std::vector<std::vector<std::string>>& textLists() const noexcept {
    return textLists_;
  }
  [[nodiscard]] const std::vector<ArgumentLocation>& locations() const noexcept {
    return locations_;
  }
  // Any for an index beyond the list.
  [[nodiscard]] ArgumentLocation location(std::size_t index) const noexcept {
    return index < locations_.size() ? locations_[index] : ArgumentLocation::Any;
  }

  // What requests are matched against: the stored template, or the function's
  // name when the template is empty. A template without placeholders is an
  // exact path (pattern() is null); otherwise pattern() is set.
  [[nodiscard]] const std::string& exactPath() const noexcept { return exactPath_; }
  [[nodiscard]] const std::shared_ptr<const PathPattern>& pattern() const noexcept {
    return pattern_;
  }

  // Declaration steps. Stores the template (one trailing "/" removed) and
  // compiles its matcher once, for every later call.
  void setUrlTemplate(std::string_view urlTemplate);
  void setMethod(HttpMethod method, std::string_view customMethod = {});
  // Grows the list with unrestricted entries up to index.
  void setLocation(std::size_t index, ArgumentLocation location);
  void setFlag(std::uint8_t flag) noexcept { flag_ = flag; }
  void addTextList(std::vector<std::string> texts) { textLists_.push_back(std::move(texts)); }

 private:
  FunctionDescriptor* function_;
  std::unique_ptr<FunctionHandler> handler_;
  std::string urlTemplate_;
  HttpMethod method_ = HttpMethod::None;
  std::string customMethod_;
  std::uint8_t flag_ = 0;
  std::vector<std::vector<std::string>> textLists_;
  std::vector<ArgumentLocation> locations_;
  std::string exactPath_;
  std::shared_ptr<const PathPattern> pattern_;
};

class RouteTable : public binding::internal::RegistryAttachment {
 public:
  // The descriptor of the function, or null. The lock is released before the
  // descriptor is used.
  [[nodiscard]] RouteDescriptor* find(const FunctionDescriptor& function) const;

  // The descriptor of the function and whether it existed already; a new one
  // is created with the handler made by makeHandler (not called otherwise).
  template <typename MakeHandler>
  std::pair<RouteDescriptor*, bool> findOrCreate(FunctionDescriptor& function,
                                                 MakeHandler&& makeHandler) {
    std::lock_guard lock(mutex_);
    auto found = routes_.find(&function);
    if (found != routes_.end()) return {found->second.get(), true};
    auto route = std::make_unique<RouteDescriptor>(function, makeHandler());
    RouteDescriptor* created = route.get();
    routes_.emplace(&function, std::move(route));
    return {created, false};
  }

  // A copy of the map's entries, taken under the lock.
  [[nodiscard]] std::vector<RouteDescriptor*> snapshot() const;

  // The plugin's own version as its routes document it; empty when not set.
  // Set while the plugin declares its routes, read when it is described.
  void setPluginVersion(std::string_view version) { pluginVersion_ = version; }
  [[nodiscard]] const std::string& pluginVersion() const noexcept { return pluginVersion_; }

 private:
  std::string pluginVersion_;
  mutable std::mutex mutex_;
  std::unordered_map<const FunctionDescriptor*, std::unique_ptr<RouteDescriptor>> routes_;
};

}  // namespace zel::api::internal
