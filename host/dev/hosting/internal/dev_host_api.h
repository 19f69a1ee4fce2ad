// DevHostApi: the complete HostApi table of zel-host. Unlike the recording
// host of the tests it keeps nothing per call, so it can serve for hours: it
// answers the plugin's outgoing requests through a chain of routers (the
// game-data stand-in, the other hosted plugins), publishes the plugin's
// events to the other subscribers and to an observer, keeps the subscription
// table, and passes log lines and request timings on.
//
//   DevHostApi host;
//   host.addRouter([&](const RecordedRequest& request) { return gameData.answer(...); });
//   host.onEvent([&](const std::string& name, const HostValue& payload) { ... });
//   plugin.attach(host.api(), 1);
//   host.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
//
// Configure it (routers, observers) before the plugin is attached; after
// that every entry is thread-safe. Neither copyable nor movable: the plugin
// keeps the table's address, so the object must outlive the plugin.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/host_api.h"
#include "host/host_value.h"
#include "host/hosting/host_api_table.h"
#include "host/hosting/response_filler.h"
#include "host/hosting/subscription_table.h"
#include "host/scripted_response.h"

namespace zel::host::internal {

class DevHostApi final : public HostApiTable {
 public:
  // None: the request is not this router's; the next one is asked.
  using Router = std::function<std::optional<ScriptedResponse>(const RecordedRequest& request)>;
  using EventObserver = std::function<void(const std::string& name, const HostValue& payload)>;
  using LogObserver = std::function<void(std::int32_t level, std::string_view text)>;
  using RequestObserver =
      std::function<void(const RecordedRequest& request, const ScriptedResponse& answer,
                         std::chrono::steady_clock::duration elapsed)>;

  DevHostApi();

  void addRouter(Router router);
  void onEvent(EventObserver observer);
  void onLog(LogObserver observer);
  void onRequest(RequestObserver observer);

  // Calls every subscription of the name with the payload and the
  // subscription's context, on this thread; returns how many were called.
  std::size_t deliverEvent(std::string_view name, const HostValue& payload);
  // Drops every subscription the plugin with this handle made: after its
  // library is unloaded their callbacks point nowhere.
  void forgetSubscriptions(std::uint32_t pluginHandle);

  // Called right before a plugin is attached: from then on the ERROR lines
  // the plugin writes before any other call are kept. The SDK's attach
  // writes the ERROR lines of the load first, when it has no host table yet
  // to write them to, before it subscribes to anything.
  void expectAttach();
  // The ERROR lines kept since expectAttach.
  [[nodiscard]] std::vector<std::string> loadErrors() const;

 private:
  void entered(HostCall call) override;
  void sendRequest(HostResponse& response, const HostRequest* request) override;
  void sendEvent(const HostEvent& event) override;
  void subscribe(RecordedSubscription subscription) override;
  void unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) override;
  void writeLog(std::int32_t level, std::string_view text) override;
  // Every answer of this host is complete when it is handed over, so a
  // plugin waiting for stream data has nothing to wait for: yields and waits
  // do nothing.

  ScriptedResponse answer(const RecordedRequest& request) const;

  std::shared_ptr<ResponseJournal> journal_;
  std::vector<Router> routers_;
  EventObserver eventObserver_;
  LogObserver logObserver_;
  RequestObserver requestObserver_;
  SubscriptionTable subscriptions_;
  mutable std::mutex loadErrorsMutex_;
  bool attaching_ = false;  // guarded by loadErrorsMutex_, as is loadErrors_
  std::vector<std::string> loadErrors_;
};

}  // namespace zel::host::internal
