#include "plugin/internal/plugin_state.h"

#include <utility>

#include "api/function_name.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "plugin/messages.h"

namespace zel::plugin::internal {

PluginState::PluginState() : eventHandlers(kTableBuckets), subscriptionCounts(kTableBuckets) {}

PluginState::~PluginState() = default;

void PluginState::setIdentity(const std::string& shortName, const PluginKind& kind,
                              const PluginApiVersion& version) {
  hostVersion = version;
  names = PluginNames::derive(shortName, kind);
  tags = {"Plugins", "Plugin " + shortName};
  apiPrefix = deriveName("", shortName);
}

void PluginState::storeHandler(std::string_view eventName, SharedHandler record) {
  std::lock_guard<std::mutex> lock(tablesMutex);
  eventHandlers.insert_or_assign(std::string(eventName), std::move(record));
}

SharedHandler PluginState::findHandler(const char* eventName) const {
  std::lock_guard<std::mutex> lock(tablesMutex);
  const auto found = eventHandlers.find(std::string_view(eventName));
  return found != eventHandlers.end() ? found->second : nullptr;
}

void PluginState::warnDroppedEvent(const char* eventName, std::string_view cause) const noexcept {
  if (!droppedEventWarnings.allow(eventName, WarningLimiter::steadyNow())) return;
  try {
    const std::string line = formatPositional(plugin::messages::kEventDropped, eventName, cause);
    logText(kLogWarn, kTagDbg, line.c_str());
  } catch (...) {
    // A warning that cannot be built is dropped with its event.
  }
}

void PluginState::deliverResourceEvent(const PluginResourceEvent& event) {
  if (!event.uri.empty() && event.uri.front() == '/') {
    notifyResourceListeners(event);
    return;
  }
  PluginResourceEvent rooted;
  rooted.uri = rootedUri(event.uri);
  rooted.eventType = event.eventType;
  rooted.data = event.data;
  notifyResourceListeners(rooted);
}

void PluginState::notifyResourceListeners(const PluginResourceEvent& event) {
  std::vector<SharedResourceListener> matches;
  {
    std::lock_guard<std::mutex> lock(tablesMutex);
    if (resourceListeners.empty()) return;
    resourceListeners.collect(event.uri, matches);
  }
  for (const SharedResourceListener& listener : matches) (*listener)(event);
}

}  // namespace zel::plugin::internal
