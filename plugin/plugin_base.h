// PluginBase: the base class of every plugin object. A plugin declares its
// types and routes in registerApi and subscribes and loads in start; through
// this class it subscribes to events, publishes resources and sends requests
// to other plugins through the host.
//
//   class MapsService : public PluginBase {
//     void registerApi() override;   // declare types and routes
//     bool start() override;         // subscribe, load
//   };
//   subscribe<BindingValue>("OnRegionLocaleChanged", [this](const BindingValue&) { reload(); });
//   subscribeEvent("/zel-maps/v1/maps");    // counted; "OnJsonApiEvent_zel-maps_v1_maps"
//   publishResource(PluginResourceEventType::Update, "/zel-maps/v1/maps", maps);
//
// The plugin object owns everything it holds from load until the host calls
// shutdown, when it stops and destroys itself. Its machinery sits behind one
// pointer (plugin/internal/plugin_state.h); its tables' mutex is released
// before a handler runs, so handlers may subscribe and unsubscribe.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/http_method.h"
#include "binding/convert_native.h"
#include "binding/value.h"
#include "plugin/identity.h"
#include "plugin/json_api_event.h"
#include "plugin/outgoing_request.h"

namespace zel {

struct HostEvent;
struct HostResponse;
class TypeRegistry;

namespace plugin::internal {
class PluginAccess;
struct PluginState;
}  // namespace plugin::internal

class PluginBase {
 public:
  // A handler of the events of one name, called with the converted payload.
  template <typename T>
  using EventHandler = std::function<void(const T&)>;

  PluginBase();
  PluginBase(const PluginBase&) = delete;
  PluginBase& operator=(const PluginBase&) = delete;
  virtual ~PluginBase();

  // A plugin declares its records and routes here, and subscribes and
  // loads what it needs in start (false: it could not start).
  virtual void registerApi() {}
  virtual bool start() { return true; }
  // Unsubscribes each event name that has a handler once, then empties the
  // handler, service-proxy and listener tables; the counts stay.
  virtual void stop();

  const PluginNames& names() const noexcept;
  const std::string& apiPrefix() const noexcept;
  const std::vector<std::string>& tags() const noexcept;
  const PluginApiVersion& hostVersion() const noexcept;
  TypeRegistry& registry() noexcept;
  const std::string& userAgent() const noexcept;
  bool shuttingDown() const noexcept;

  // Stores the handler under the exact event name (replacing the previous
  // one) and subscribes it with the host; flag is 1 for the service proxy's
  // subscriptions. An event whose payload does not convert to T is dropped
  // with a warning, once a second per name at most.
  template <typename T>
  void subscribe(std::string_view eventName, std::type_identity_t<EventHandler<T>> handler,
                 std::uint32_t flag = 0) {
    subscribeHandler(
        eventName, typeIdentity<T>().id(),
        [handler = std::move(handler)](const BindingValue& value, const char* path,
                                       const TypeRegistry* registry, ConversionStatus& status) {
          T payload{};
          toNative(status, payload, value, path, registry);
          if (status.ok()) handler(payload);
        },
        &PluginBase::dispatch<T>, flag);
  }

  // Counted subscription to the URI's JSON-API event: the first subscribes
  // with the host, the one that brings the count back to 0 unsubscribes; an
  // unsubscription at count 0 changes nothing.
  virtual void subscribeEvent(std::string_view uri);
  virtual void unsubscribeEvent(std::string_view uri);

  [[nodiscard]] bool hasEventHandler(std::string_view eventName) const;
  // 0 for a JSON-API event name never subscribed.
  [[nodiscard]] std::int32_t subscriptionCount(std::string_view jsonApiEventName) const;

  // Publishes the resource as a PluginResourceEvent: once under the URI's
  // JSON-API event name, then once as "OnJsonApiEvent". Publishes nothing
  // when the resource or the event does not convert.
  template <typename T>
  void publishResource(PluginResourceEventType type, std::string_view uri, const T& resource) {
    BindingValue data;
    toValue(data, resource, &registry());
    if (data.ok()) publishResourceValue(type, uri, std::move(data));
  }
  // The same for a resource already converted with registry().
  void publishResourceValue(PluginResourceEventType type, std::string_view uri,
                            BindingValue&& data);

  // Resource events of subscribed URIs reach the exact listener of the URI
  // first, then every matching pattern's ("*" stands for one segment). An
  // empty listener is refused (false); a missing leading "/" is added.
  bool addResourceListener(std::string_view uri, ResourceListener listener);
  bool addResourcePatternListener(std::string_view pattern, ResourceListener listener);
  bool removeResourceListener(std::string_view uri);
  bool removeResourcePatternListener(std::string_view pattern);

  // Requests to other plugins (plugin/outgoing_request.h), each blocking
  // until the answer is complete. requestRaw leaves the response filled for
  // the caller to release; the others release it.
  [[nodiscard]] RequestResult<void> requestRaw(HttpMethod method, const char* url,
                                               HostResponse& response);
  template <typename T>
  [[nodiscard]] RequestResult<T> request(HttpMethod method, const char* url) {
    T result{};
    RequestResult<void> fetched =
        fetchInto(method, url, &result,
                  [](ConversionStatus& status, void* target, const BindingValue& value,
                     const char* path, const TypeRegistry* registry) {
                    toNative(status, *static_cast<T*>(target), value, path, registry);
                  });
    if (fetched.failed()) return ErrorInfo(fetched.error());
    return result;
  }
  [[nodiscard]] RequestResult<void> requestWithParameters(
      HttpMethod method, const char* url, std::span<const RequestArgument> parameters);
  [[nodiscard]] RequestResult<void> requestWithParameters(
      HttpMethod method, const char* url, std::initializer_list<RequestArgument> parameters) {
    return requestWithParameters(method, url, std::span(parameters.begin(), parameters.size()));
  }

 private:
  friend class plugin::internal::PluginAccess;

  // Calls the handler with the converted value, or leaves the failure in status.
  using ConvertAndRun = std::function<void(const BindingValue& value, const char* path,
                                           const TypeRegistry* registry, ConversionStatus& status)>;
  using ConvertAnswer = void (*)(ConversionStatus& status, void* target, const BindingValue& value,
                                 const char* path, const TypeRegistry* registry);

  void subscribeHandler(std::string_view eventName, std::uint32_t payloadTypeId, ConvertAndRun run,
                        std::int32_t (*dispatcher)(const HostEvent*), std::uint32_t flag);
  // The host's callback for payload T: one per type, so a name subscribed
  // again with another type runs only the new type's handler.
  template <typename T>
  static std::int32_t dispatch(const HostEvent* event) noexcept {
    return deliver(event, typeIdentity<T>().id());
  }
  // 1 when the handler of the event's name and payload type ran to its end;
  // nothing escapes to the host.
  static std::int32_t deliver(const HostEvent* event, std::uint32_t payloadTypeId) noexcept;

  // The failure of sending or of converting the answer is the result's.
  RequestResult<void> fetchInto(HttpMethod method, const char* url, void* target,
                                ConvertAnswer convert);

  std::unique_ptr<plugin::internal::PluginState> state_;
};

}  // namespace zel
