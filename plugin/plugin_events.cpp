// The event members of PluginBase: typed subscriptions and their delivery,
// counted subscriptions to JSON-API events, resource listeners and resource
// publication. The tables are the plugin object's state
// (plugin/internal/plugin_state.h).
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "binding/convert_flat.h"
#include "boundary/host_messages.h"
#include "plugin/internal/plugin_access.h"
#include "plugin/json_api_event.h"
#include "plugin/messages.h"
#include "plugin/plugin_base.h"
#include "plugin/plugin_manager_types.h"

namespace zel {

namespace text = plugin::messages;
using plugin::internal::PluginState;
using plugin::internal::SharedHandler;

void PluginBase::subscribeHandler(std::string_view eventName, std::uint32_t payloadTypeId,
                                  ConvertAndRun run, std::int32_t (*dispatcher)(const HostEvent*),
                                  std::uint32_t flag) {
  const std::string name(eventName);
  state_->storeHandler(name,
                       std::make_shared<const plugin::internal::EventHandlerRecord>(
                           plugin::internal::EventHandlerRecord{payloadTypeId, std::move(run)}));
  state_->host.subscribe(name.c_str(), dispatcher, this, flag);
}

std::int32_t PluginBase::deliver(const HostEvent* event, std::uint32_t payloadTypeId) noexcept {
  if (event == nullptr || event->name == nullptr || event->context == nullptr) return 0;
  try {
    const PluginState& state = *static_cast<const PluginBase*>(event->context)->state_;
    const SharedHandler record = state.findHandler(event->name);
    // A name re-subscribed with another payload type may still be delivered
    // to this type's dispatcher: its record is not ours to run.
    if (!record || record->payloadTypeId != payloadTypeId) return 0;

    BindingValue value;
    if (!plugin::internal::payloadToValue(event->payload, value)) {
      state.warnDroppedEvent(event->name, value.errorMessage());
      return 0;
    }
    ConversionStatus status;
    record->run(value, text::kPayloadPath, state.registry.get(), status);
    if (!status.ok()) {
      state.warnDroppedEvent(event->name, status.errorMessage());
      return 0;
    }
    return 1;
  } catch (...) {
    return 0;
  }
}

void PluginBase::subscribeEvent(std::string_view uri) {
  const std::string name = jsonApiEventName(uri);
  std::int32_t before = 0;
  {
    std::lock_guard<std::mutex> lock(state_->tablesMutex);
    std::int32_t& count = state_->subscriptionCounts.try_emplace(name, 0).first->second;
    before = count++;
  }
  if (before != 0) return;
  PluginState& state = *state_;
  subscribe<PluginResourceEvent>(
      name, [&state](const PluginResourceEvent& event) { state.deliverResourceEvent(event); }, 0);
}

void PluginBase::unsubscribeEvent(std::string_view uri) {
  const std::string name = jsonApiEventName(uri);
  std::int32_t before = 0;
  {
    std::lock_guard<std::mutex> lock(state_->tablesMutex);
    const auto found = state_->subscriptionCounts.find(name);
    // An unpaired call finds nothing to release; letting the count go below
    // 0 would make the next subscribeEvent of the name subscribe nothing.
    if (found == state_->subscriptionCounts.end() || found->second <= 0) return;
    before = found->second--;
  }
  if (before != 1) return;
  state_->host.unsubscribe(name.c_str());
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  state_->eventHandlers.erase(name);
}

void PluginBase::stop() {
  std::vector<std::string> names;
  {
    std::lock_guard<std::mutex> lock(state_->tablesMutex);
    names.reserve(state_->eventHandlers.size());
    for (const auto& entry : state_->eventHandlers) names.push_back(entry.first);
  }
  for (const std::string& name : names) state_->host.unsubscribe(name.c_str());

  {
    std::lock_guard<std::mutex> lock(state_->tablesMutex);
    plugin::internal::resetTable(state_->eventHandlers);
  }
  state_->serviceProxy.clear();
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  state_->resourceListeners.clear();
}

bool PluginBase::hasEventHandler(std::string_view eventName) const {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  return state_->eventHandlers.find(eventName) != state_->eventHandlers.end();
}

std::int32_t PluginBase::subscriptionCount(std::string_view jsonApiEventName) const {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  const auto found = state_->subscriptionCounts.find(jsonApiEventName);
  return found != state_->subscriptionCounts.end() ? found->second : 0;
}

bool PluginBase::addResourceListener(std::string_view uri, ResourceListener listener) {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  return state_->resourceListeners.setExact(uri, std::move(listener));
}

bool PluginBase::addResourcePatternListener(std::string_view pattern, ResourceListener listener) {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  return state_->resourceListeners.setPattern(pattern, std::move(listener));
}

bool PluginBase::removeResourceListener(std::string_view uri) {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  return state_->resourceListeners.removeExact(uri);
}

bool PluginBase::removeResourcePatternListener(std::string_view pattern) {
  std::lock_guard<std::mutex> lock(state_->tablesMutex);
  return state_->resourceListeners.removePattern(pattern);
}

void PluginBase::publishResourceValue(PluginResourceEventType type, std::string_view uri,
                                      BindingValue&& data) {
  if (!data.ok()) return;
  const TypeRegistry* registry = state_->registry.get();
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
  state_->host.sendEvent(&sent);
  if (name != text::kJsonApiEvent) {
    sent.name = text::kJsonApiEvent;
    state_->host.sendEvent(&sent);
  }
}

}  // namespace zel
