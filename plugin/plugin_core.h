// PluginCore: the event and service-proxy machinery under every plugin
// object, which reaches the host through the plugin's HostChannel:
// typed subscriptions and their dispatchers, counted subscriptions to the
// JSON-API event of a URI, resource listeners, resource publication, the
// service-proxy tables and the telemetry sender.
//
//   subscribe<BindingValue>("OnRegionLocaleChanged", [this](const BindingValue&) { reload(); });
//   subscribeEvent("/zel-maps/v1/maps");    // counted; "OnJsonApiEvent_zel-maps_v1_maps"
//   publishResource(PluginResourceEventType::Update, "/zel-maps/v1/maps", maps);
//
// The core owns its tables, the handlers in them and the telemetry sender;
// the plugin object owns the core (it is its base) from load until the host
// calls shutdown. The handler, count and listener tables share one mutex,
// held only to read or change them: handlers run after it is released, so
// they may subscribe and unsubscribe. The service-proxy tables have their
// own mutex (plugin/internal/service_proxy.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/convert_native.h"
#include "binding/value.h"
#include "boundary/host_api.h"
#include "plugin/internal/events.h"
#include "plugin/internal/events_text_table.h"
#include "plugin/internal/host_channel.h"
#include "plugin/internal/messages.h"
#include "plugin/internal/resource_listeners.h"
#include "plugin/internal/service_proxy.h"
#include "plugin/internal/telemetry.h"
#include "plugin/internal/warning_limiter.h"
#include "plugin/plugin_manager_types.h"

namespace zel {

class PluginBase;
class TypeRegistry;

// What the exported entry function builds the plugin object with (plugin/entry.h).
using PluginFactory = PluginBase* (*)();

class PluginCore {
 public:
  // A handler of the events of one name, called with the converted payload.
  template <typename T>
  using EventHandler = std::function<void(const T&)>;

  PluginCore();
  PluginCore(const PluginCore&) = delete;
  PluginCore& operator=(const PluginCore&) = delete;

  // Counted subscription to the JSON-API event of the URI: the first one for
  // an event name subscribes the resource-event handler with the host, the
  // one that brings its count back to 0 unsubscribes it. An unsubscription
  // of a name whose count is already 0 changes nothing.
  virtual void subscribeEvent(std::string_view uri);
  virtual void unsubscribeEvent(std::string_view uri);

  virtual ~PluginCore();

  // Unsubscribes every event name that has a handler, each once, then
  // empties the handler, service-proxy and listener tables. The
  // subscription counts stay.
  virtual void stop();

  virtual void registerApi() = 0;
  virtual bool start() = 0;

  // Stores the handler under the exact event name (replacing the previous
  // one) and subscribes dispatch<T> with the host, the plugin object as
  // context. flag is 0 for ordinary subscriptions, 1 for the service proxy's.
  template <typename T>
  void subscribe(std::string_view eventName, std::type_identity_t<EventHandler<T>> handler,
                 std::uint32_t flag = 0);

  // Publishes the resource as a PluginResourceEvent: once under the URI's
  // JSON-API event name, then once as "OnJsonApiEvent". Publishes nothing
  // when the resource or the event does not convert.
  template <typename T>
  void publishResource(PluginResourceEventType type, std::string_view uri, const T& resource);
  // The same for a resource already converted (with conversionRegistry()),
  // for a caller that builds the value without a native copy of the resource.
  void publishResourceValue(PluginResourceEventType type, std::string_view uri,
                            BindingValue&& data);
  // The registry resources and event payloads are converted with.
  [[nodiscard]] const TypeRegistry* conversionRegistry() const noexcept {
    return conversionRegistry_ != nullptr ? conversionRegistry_ : apiRegistry_;
  }

  // The callback handed to the host for events with payload T. Finds the
  // plugin object in the event's context and the handler by the event's
  // name; an event without a handler of T, or whose payload does not
  // convert to T, is dropped. Nothing it meets escapes to the host.
  // Returns 1 when a handler ran to its end, else 0.
  template <typename T>
  static std::int32_t dispatch(const HostEvent* event) noexcept;

  // Resource events of subscribed URIs reach these listeners; see
  // plugin/internal/resource_listeners.h. An empty callable is refused (false).
  bool addResourceListener(std::string_view uri, ResourceListener listener);
  bool addResourcePatternListener(std::string_view pattern, ResourceListener listener);
  bool removeResourceListener(std::string_view uri);
  bool removeResourcePatternListener(std::string_view pattern);

  ServiceProxy& serviceProxy() noexcept { return serviceProxy_; }
  // Null until attach.
  TelemetrySender* telemetry() const noexcept { return telemetry_.get(); }

  [[nodiscard]] bool hasEventHandler(std::string_view eventName) const;
  // The count of counted subscriptions of a JSON-API event name (0 when
  // never subscribed).
  [[nodiscard]] std::int32_t subscriptionCount(std::string_view jsonApiEventName) const;

  std::uint32_t pluginHandle() const noexcept { return host_.pluginHandle(); }
  const std::string& userAgent() const noexcept { return userAgent_; }
  bool shuttingDown() const noexcept { return shuttingDown_ != 0; }

 private:
  // The plumbing of load and attach, for the entry function and the plugin
  // object's own entry points; nothing a plugin calls.
  friend class PluginBase;
  friend std::int32_t loadPlugin(HostLoadInfo* info, const char* shortName,
                                 PluginFactory create) noexcept;

  // The load step that declares the platform's types and events in the
  // plugin's registry, which resource publication uses until attach.
  void registerPlatformApi(TypeRegistry& registry);
  // Called by attach with what the connection and the plugin object give;
  // takes over the telemetry sender (destroying any earlier one) and
  // subscribes the three service-proxy events.
  void connect(HostChannel host, const std::string& shortName, const std::string& userAgent,
               TypeRegistry* registry, PluginBase* owner,
               std::unique_ptr<TelemetrySender> telemetry = nullptr);

  [[nodiscard]] const HostChannel& hostChannel() const noexcept { return host_; }

  // Called by attach once the plugin has started: every exact listener's URI
  // whose JSON-API event has no counted subscription is subscribed with
  // subscribeEvent (so a later unsubscribeEvent releases it), since resource
  // events reach listeners only through a subscription. Pattern listeners
  // are left alone: a pattern does not name one event (a "*" among the
  // segments that make the event name stands for many), and subscribing
  // "OnJsonApiEvent" for it would deliver every resource of every plugin.
  void subscribeListenedUris();

  using SharedHandler = std::shared_ptr<const plugin::internal::EventHandlerRecord>;

  void storeHandler(std::string_view eventName, SharedHandler record);
  [[nodiscard]] SharedHandler findHandler(const char* eventName) const;
  // The resource-event handler: the event with its URI "/" prefixed goes
  // to the exact listener of the URI, then to every matching pattern's.
  void deliverResourceEvent(const PluginResourceEvent& event);
  // Logs at WARN that the event was dropped and why, once a second per
  // event name at most.
  void warnDroppedEvent(const char* eventName, std::string_view cause) const noexcept;
  void notifyResourceListeners(const PluginResourceEvent& event);

  const TypeRegistry* conversionRegistry_ = nullptr;  // copied at attach
  mutable std::mutex tablesMutex_;                    // handlers, counts and listeners
  ResourceListeners resourceListeners_;
  PluginBase* owner_ = nullptr;                // set at attach
  const TypeRegistry* apiRegistry_ = nullptr;  // set at load
  HostChannel host_;                           // set at attach
  std::uint8_t shuttingDown_ = 0;
  std::string shortName_;
  std::string userAgent_;
  std::unique_ptr<TelemetrySender> telemetry_;
  plugin::internal::TextTable<SharedHandler> eventHandlers_;
  plugin::internal::TextTable<std::int32_t> subscriptionCounts_;  // kept across stop
  ServiceProxy serviceProxy_{shortName_};
  mutable WarningLimiter droppedEventWarnings_;
};

template <typename T>
void PluginCore::subscribe(std::string_view eventName,
                           std::type_identity_t<EventHandler<T>> handler, std::uint32_t flag) {
  const std::string name(eventName);
  storeHandler(name,
               std::make_shared<const plugin::internal::TypedEventHandler<T>>(std::move(handler)));
  host_.subscribe(name.c_str(), &PluginCore::dispatch<T>, this, flag);
}

template <typename T>
void PluginCore::publishResource(PluginResourceEventType type, std::string_view uri,
                                 const T& resource) {
  BindingValue data;
  toValue(data, resource, conversionRegistry());
  if (!data.ok()) return;
  publishResourceValue(type, uri, std::move(data));
}

template <typename T>
std::int32_t PluginCore::dispatch(const HostEvent* event) noexcept {
  if (event == nullptr || event->name == nullptr || event->context == nullptr) return 0;
  try {
    const PluginCore& plugin = *static_cast<const PluginCore*>(event->context);
    const SharedHandler record = plugin.findHandler(event->name);
    // A name re-subscribed with another payload type may still be delivered
    // to this dispatcher: its record is not ours to run.
    if (!record || record->payloadTypeId() != typeIdentity<T>().id()) return 0;

    BindingValue value;
    if (!plugin::internal::payloadToValue(event->payload, value)) {
      plugin.warnDroppedEvent(event->name, value.errorMessage());
      return 0;
    }
    ConversionStatus status;
    T payload{};
    toNative(status, payload, value, plugin::messages::kPayloadPath, plugin.conversionRegistry());
    if (!status.ok()) {
      plugin.warnDroppedEvent(event->name, status.errorMessage());
      return 0;
    }

    static_cast<const plugin::internal::TypedEventHandler<T>&> (*record)(payload);
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // namespace zel
