#include "plugin/plugin_core.h"

#include <vector>

#include "binding/convert_flat.h"
#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "plugin/json_api_event.h"

namespace zel {

namespace text = plugin::messages;

PluginCore::PluginCore()
    : eventHandlers_(plugin::internal::kTableBuckets),
      subscriptionCounts_(plugin::internal::kTableBuckets) {}

PluginCore::~PluginCore() = default;

void PluginCore::connect(HostChannel host, const std::string& shortName,
                         const std::string& userAgent, TypeRegistry* registry, PluginBase* owner,
                         std::unique_ptr<TelemetrySender> telemetry) {
  host_ = host;
  shortName_ = shortName;
  userAgent_ = userAgent;
  telemetry_ = std::move(telemetry);
  conversionRegistry_ = registry;
  owner_ = owner;

  constexpr std::uint32_t kServiceProxyFlag = 1;
  subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyUuidEvent,
      [this](const PluginServiceProxyResponse& message) { serviceProxy_.receiveByUuid(message); },
      kServiceProxyFlag);
  subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyMethodEvent,
      [this](const PluginServiceProxyResponse& message) { serviceProxy_.receiveByMethod(message); },
      kServiceProxyFlag);
  subscribe<PluginServiceProxyResponse>(
      text::kServiceProxyAsyncEvent,
      [this](const PluginServiceProxyResponse& message) { serviceProxy_.receiveAsync(message); },
      kServiceProxyFlag);
}

void PluginCore::registerPlatformApi(TypeRegistry& registry) {
  apiRegistry_ = &registry;
  registerPluginManagerTypes(registry);
}

void PluginCore::subscribeEvent(std::string_view uri) {
  const std::string name = jsonApiEventName(uri);
  std::int32_t before = 0;
  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    std::int32_t& count = subscriptionCounts_.try_emplace(name, 0).first->second;
    before = count++;
  }
  if (before != 0) return;
  subscribe<PluginResourceEvent>(
      name, [this](const PluginResourceEvent& event) { deliverResourceEvent(event); }, 0);
}

void PluginCore::warnDroppedEvent(const char* eventName, std::string_view cause) const noexcept {
  if (!droppedEventWarnings_.allow(eventName, WarningLimiter::steadyNow())) return;
  try {
    const std::string line = formatPositional(text::kEventDropped, eventName, cause);
    logText(kLogWarn, kTagDbg, line.c_str());
  } catch (...) {
    // A warning that cannot be built is dropped with its event.
  }
}

void PluginCore::subscribeListenedUris() {
  std::vector<std::string> uris;
  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    uris = resourceListeners_.exactUris();
  }
  for (const std::string& uri : uris) {
    if (subscriptionCount(jsonApiEventName(uri)) <= 0) subscribeEvent(uri);
  }
}

void PluginCore::unsubscribeEvent(std::string_view uri) {
  const std::string name = jsonApiEventName(uri);
  std::int32_t before = 0;
  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    const auto found = subscriptionCounts_.find(name);
    // An unpaired call finds nothing to release; letting the count go below
    // 0 would make the next subscribeEvent of the name subscribe nothing.
    if (found == subscriptionCounts_.end() || found->second <= 0) return;
    before = found->second--;
  }
  if (before != 1) return;
  host_.unsubscribe(name.c_str());
  std::lock_guard<std::mutex> lock(tablesMutex_);
  eventHandlers_.erase(name);
}

void PluginCore::stop() {
  std::vector<std::string> names;
  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    names.reserve(eventHandlers_.size());
    for (const auto& entry : eventHandlers_) names.push_back(entry.first);
  }
  for (const std::string& name : names) host_.unsubscribe(name.c_str());

  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    plugin::internal::resetTable(eventHandlers_);
  }
  serviceProxy_.clear();
  std::lock_guard<std::mutex> lock(tablesMutex_);
  resourceListeners_.clear();
}

void PluginCore::storeHandler(std::string_view eventName, SharedHandler record) {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  eventHandlers_.insert_or_assign(std::string(eventName), std::move(record));
}

PluginCore::SharedHandler PluginCore::findHandler(const char* eventName) const {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  const auto found = eventHandlers_.find(std::string_view(eventName));
  return found != eventHandlers_.end() ? found->second : nullptr;
}

bool PluginCore::hasEventHandler(std::string_view eventName) const {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  return eventHandlers_.find(eventName) != eventHandlers_.end();
}

std::int32_t PluginCore::subscriptionCount(std::string_view jsonApiEventName) const {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  const auto found = subscriptionCounts_.find(jsonApiEventName);
  return found != subscriptionCounts_.end() ? found->second : 0;
}

bool PluginCore::addResourceListener(std::string_view uri, ResourceListener listener) {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  return resourceListeners_.setExact(uri, std::move(listener));
}

bool PluginCore::addResourcePatternListener(std::string_view pattern, ResourceListener listener) {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  return resourceListeners_.setPattern(pattern, std::move(listener));
}

bool PluginCore::removeResourceListener(std::string_view uri) {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  return resourceListeners_.removeExact(uri);
}

bool PluginCore::removeResourcePatternListener(std::string_view pattern) {
  std::lock_guard<std::mutex> lock(tablesMutex_);
  return resourceListeners_.removePattern(pattern);
}

void PluginCore::deliverResourceEvent(const PluginResourceEvent& event) {
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

void PluginCore::notifyResourceListeners(const PluginResourceEvent& event) {
  std::vector<SharedResourceListener> matches;
  {
    std::lock_guard<std::mutex> lock(tablesMutex_);
    if (resourceListeners_.empty()) return;
    resourceListeners_.collect(event.uri, matches);
  }
  for (const SharedResourceListener& listener : matches) (*listener)(event);
}

void PluginCore::publishResourceValue(PluginResourceEventType type, std::string_view uri,
                                      BindingValue&& data) {
  if (!data.ok()) return;
  const TypeRegistry* registry = conversionRegistry();
  // The envelope is converted without its data, which goes straight into the
  // payload's "data" entry: a whole catalogue is converted once, not copied
  // into the envelope's tree first.
  BindingValue envelope;
  {
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = type;
    toValue(envelope, event, registry);
  }
  if (!envelope.ok()) return;

  const std::string name = jsonApiEventName(uri);
  HostEvent sent{};
  struct FlatGuard {
    FlatValue& value;
    ~FlatGuard() { clearFlatValue(value); }
  } guard{sent.payload};
  if (!valueToFlat(sent.payload, envelope, registry)) return;
  FlatValue* dataEntry = nullptr;
  if (sent.payload.kind == static_cast<std::uint32_t>(FlatKind::Structure)) {
    FlatEntry* entries = flatEntries(sent.payload);
    for (std::uint32_t i = 0; i < sent.payload.payload.span.count; ++i) {
      if (std::string_view(entries[i].key) == kResourceDataKey) dataEntry = &entries[i].value;
    }
  }
  if (dataEntry == nullptr || !valueToFlat(*dataEntry, data, registry)) return;

  sent.name = name.c_str();
  host_.sendEvent(&sent);
  if (name != text::kJsonApiEvent) {
    sent.name = text::kJsonApiEvent;
    host_.sendEvent(&sent);
  }
}

}  // namespace zel
