// RecordingHostApi: a complete HostApi table for driving the plugin in tests
// and in zel-host. It records every call the plugin makes (requests, events,
// subscriptions, yields, waits, log lines), answers requests as scripted per
// (method, url), and delivers events to the callbacks the plugin subscribed.
//
//   RecordingHostApi host;
//   host.answer(2, "/zel-game-data/assets/v1/maps.json",
//               ScriptedResponse::withStreamedText("[]"));
//   plugin.attach(host.api(), 7);
//   host.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
//   host.logs();    // what the plugin wrote through writeLog
//
// Thread-safe: records are guarded by one mutex, the subscriptions by their
// table's, and handlers and plugin callbacks run outside both, so they may
// call back into the host. Neither copyable nor movable: the plugin keeps the
// table's address. Responses it handed out may outlive it (their counters are
// shared).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boundary/host_api.h"
#include "host/host_api_table.h"
#include "host/host_records.h"
#include "host/host_value.h"
#include "host/response_filler.h"
#include "host/scripted_response.h"
#include "host/subscription_table.h"

namespace zel::host {

class RecordingHostApi final : public HostApiTable {
 public:
  using RequestHandler = std::function<ScriptedResponse(const RecordedRequest& request)>;

  RecordingHostApi();

  // Answers requests with this method code and exactly this url (query
  // included); a later answer for the same pair replaces the earlier one.
  void answer(std::uint32_t method, std::string url, RequestHandler handler);
  void answer(std::uint32_t method, std::string url, ScriptedResponse response);
  // Answers every request without its own answer. The default answer is the
  // error "No handler for METHOD URL" with status 404.
  void answerOthers(RequestHandler handler);
  // Runs on each yield of the plugin, on the yielding thread: the place to
  // deliver events while the plugin waits for a stream.
  void onYield(std::function<void()> handler);

  // Calls every active subscription of the name with a HostEvent carrying the
  // payload and the subscription's context; returns how many were called.
  std::size_t deliverEvent(std::string_view name, const HostValue& payload);

  // Whether sent events keep a copy of their payload (the default). A host
  // that only counts events, as the benchmarks do, records them without it
  // and does not grow by a whole catalogue for every announcement.
  void recordEventPayloads(bool record) { recordEventPayloads_ = record; }

  // Copies of the records, in call order.
  [[nodiscard]] std::vector<HostCall> calls() const;
  [[nodiscard]] std::size_t count(HostCall call) const;
  [[nodiscard]] std::vector<RecordedRequest> requests() const;
  [[nodiscard]] std::vector<RecordedEvent> sentEvents() const;
  std::vector<RecordedSubscription> subscriptions() const;        // every subscribe call
  std::vector<RecordedSubscription> activeSubscriptions() const;  // not unsubscribed yet
  [[nodiscard]] std::vector<RecordedUnsubscription> unsubscriptions() const;
  [[nodiscard]] std::vector<RecordedWait> waits() const;
  [[nodiscard]] std::vector<RecordedLog> logs() const;
  // Misuse the host noticed: handlers that threw, stream reads after close...
  [[nodiscard]] std::vector<std::string> faults() const;
  // What happened to the responses handed out so far.
  [[nodiscard]] const ResponseJournal& responses() const { return *journal_; }

 private:
  void entered(HostCall call) override;
  void sendRequest(HostResponse& response, const HostRequest* request) override;
  void sendEvent(const HostEvent& event) override;
  void subscribe(RecordedSubscription subscription) override;
  void unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) override;
  void yield() override;
  void beginWait(std::string_view label, std::uint32_t flags) override;
  void writeLog(std::int32_t level, std::string_view text) override;

  void addFault(std::string text);
  [[nodiscard]] RequestHandler handlerFor(std::uint32_t method, const std::string& url) const;

  std::shared_ptr<ResponseJournal> journal_;
  SubscriptionTable activeSubscriptions_;

  mutable std::mutex mutex_;
  std::map<std::pair<std::uint32_t, std::string>, RequestHandler> handlers_;
  RequestHandler otherHandler_;
  std::function<void()> yieldHandler_;
  std::vector<HostCall> calls_;
  std::vector<RecordedRequest> requests_;
  std::vector<RecordedEvent> sentEvents_;
  std::vector<RecordedSubscription> subscriptions_;
  std::vector<RecordedUnsubscription> unsubscriptions_;
  std::vector<RecordedWait> waits_;
  std::vector<RecordedLog> logs_;
  std::vector<std::string> faults_;
  std::atomic<bool> recordEventPayloads_{true};
};

}  // namespace zel::host
