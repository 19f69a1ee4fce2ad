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
// shared). The table and the records live in an object of its own
// (recording_host_api.cpp), so this header shows only the plain values of
// host/scripted_response.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "boundary/host_api.h"
#include "host/host_value.h"
#include "host/scripted_response.h"

namespace zel::host {

class RecordingHostApi final {
 public:
  using RequestHandler = std::function<ScriptedResponse(const RecordedRequest& request)>;

  RecordingHostApi();
  ~RecordingHostApi();
  RecordingHostApi(const RecordingHostApi&) = delete;
  RecordingHostApi& operator=(const RecordingHostApi&) = delete;

  // The table to hand to the plugin; the same address for the host's life.
  [[nodiscard]] HostApi* api();

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
  void recordEventPayloads(bool record);

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
  [[nodiscard]] const ResponseJournal& responses() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zel::host
