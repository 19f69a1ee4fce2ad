#include "host/fakes/recording_host_api.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <utility>

#include "host/conversions/host_flat_value.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/hosting/host_api_table.h"
#include "host/hosting/request_copy.h"
#include "host/hosting/response_filler.h"
#include "host/hosting/subscription_table.h"
#include "host/messages.h"

namespace zel::host {

namespace {

ScriptedResponse noHandlerAnswer(const RecordedRequest& request) {
  return ScriptedResponse::withError(
      fillTemplate(messages::kNoHandler, {requestMethodName(request), request.url}), 404);
}

}  // namespace

// The table the plugin sees, with everything the host records behind it.
class RecordingHostApi::Impl final : public HostApiTable {
 public:
  Impl();

  void answer(std::uint32_t method, std::string url, RequestHandler handler);
  void answer(std::uint32_t method, std::string url, ScriptedResponse response);
  void answerOthers(RequestHandler handler);
  void onYield(std::function<void()> handler);
  std::size_t deliverEvent(std::string_view name, const HostValue& payload);
  void recordEventPayloads(bool record) { recordEventPayloads_ = record; }

  [[nodiscard]] std::vector<HostCall> calls() const;
  [[nodiscard]] std::size_t count(HostCall call) const;
  [[nodiscard]] std::vector<RecordedRequest> requests() const;
  [[nodiscard]] std::vector<RecordedEvent> sentEvents() const;
  std::vector<RecordedSubscription> subscriptions() const;
  std::vector<RecordedSubscription> activeSubscriptions() const;
  [[nodiscard]] std::vector<RecordedUnsubscription> unsubscriptions() const;
  [[nodiscard]] std::vector<RecordedWait> waits() const;
  [[nodiscard]] std::vector<RecordedLog> logs() const;
  [[nodiscard]] std::vector<std::string> faults() const;
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

RecordingHostApi::Impl::Impl()
    : journal_(std::make_shared<ResponseJournal>()), otherHandler_(&noHandlerAnswer) {}

void RecordingHostApi::Impl::entered(HostCall call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

void RecordingHostApi::Impl::sendRequest(HostResponse& response, const HostRequest* request) {
  RecordedRequest copy;
  if (request != nullptr) copy = copyHostRequest(*request);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(copy);
  }
  RequestHandler handler = handlerFor(copy.method, copy.url);
  ScriptedResponse answer;
  try {
    answer = handler(copy);
  } catch (const std::exception& error) {
    std::string text =
        fillTemplate(messages::kHandlerFailed, {methodName(copy.method), copy.url, error.what()});
    addFault(text);
    answer = ScriptedResponse::withError(text, 500);
  }
  fillResponse(response, answer, journal_);
}

void RecordingHostApi::Impl::sendEvent(const HostEvent& event) {
  RecordedEvent copy{textOrEmpty(event.name),
                     recordEventPayloads_ ? readFlatValue(event.payload) : HostValue::makeNone(),
                     event.flags, event.context};
  std::lock_guard<std::mutex> lock(mutex_);
  sentEvents_.push_back(std::move(copy));
}

void RecordingHostApi::Impl::subscribe(RecordedSubscription subscription) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions_.push_back(subscription);
  }
  activeSubscriptions_.add(std::move(subscription));
}

void RecordingHostApi::Impl::unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) {
  activeSubscriptions_.remove(eventName, pluginHandle);
  std::lock_guard<std::mutex> lock(mutex_);
  unsubscriptions_.push_back(RecordedUnsubscription{std::string(eventName), pluginHandle});
}

void RecordingHostApi::Impl::yield() {
  std::function<void()> handler;
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      handler = yieldHandler_;
    }
    if (handler) handler();
  } catch (const std::exception& error) {
    addFault(fillTemplate(messages::kYieldHandlerFailed, {error.what()}));
  } catch (...) {
    addFault(fillTemplate(messages::kYieldHandlerFailed, {"unknown exception"}));
  }
}

void RecordingHostApi::Impl::beginWait(std::string_view label, std::uint32_t flags) {
  RecordedWait wait{std::string(label), flags};
  std::lock_guard<std::mutex> lock(mutex_);
  waits_.push_back(std::move(wait));
}

void RecordingHostApi::Impl::writeLog(std::int32_t level, std::string_view text) {
  RecordedLog line{level, std::string(text)};
  std::lock_guard<std::mutex> lock(mutex_);
  logs_.push_back(std::move(line));
}

void RecordingHostApi::Impl::answer(std::uint32_t method, std::string url, RequestHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handlers_[{method, std::move(url)}] = std::move(handler);
}

void RecordingHostApi::Impl::answer(std::uint32_t method, std::string url,
                                    ScriptedResponse response) {
  answer(method, std::move(url),
         [response = std::move(response)](const RecordedRequest&) { return response; });
}

void RecordingHostApi::Impl::answerOthers(RequestHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  otherHandler_ = handler ? std::move(handler) : RequestHandler(&noHandlerAnswer);
}

void RecordingHostApi::Impl::onYield(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  yieldHandler_ = std::move(handler);
}

std::size_t RecordingHostApi::Impl::deliverEvent(std::string_view name, const HostValue& payload) {
  return activeSubscriptions_.deliver(name, payload);
}

std::vector<HostCall> RecordingHostApi::Impl::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::size_t RecordingHostApi::Impl::count(HostCall call) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
}

std::vector<RecordedRequest> RecordingHostApi::Impl::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<RecordedEvent> RecordingHostApi::Impl::sentEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sentEvents_;
}

std::vector<RecordedSubscription> RecordingHostApi::Impl::subscriptions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return subscriptions_;
}

std::vector<RecordedSubscription> RecordingHostApi::Impl::activeSubscriptions() const {
  return activeSubscriptions_.active();
}

std::vector<RecordedUnsubscription> RecordingHostApi::Impl::unsubscriptions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unsubscriptions_;
}

std::vector<RecordedWait> RecordingHostApi::Impl::waits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waits_;
}

std::vector<RecordedLog> RecordingHostApi::Impl::logs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logs_;
}

std::vector<std::string> RecordingHostApi::Impl::faults() const {
  std::vector<std::string> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all = faults_;
  }
  std::vector<std::string> streamFaults = journal_->faults();
  all.insert(all.end(), streamFaults.begin(), streamFaults.end());
  return all;
}

void RecordingHostApi::Impl::addFault(std::string text) {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(std::move(text));
  } catch (...) {
  }
}

RecordingHostApi::RequestHandler RecordingHostApi::Impl::handlerFor(std::uint32_t method,
                                                                    const std::string& url) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = handlers_.find({method, url});
  return found != handlers_.end() ? found->second : otherHandler_;
}

RecordingHostApi::RecordingHostApi() : impl_(std::make_unique<Impl>()) {}

RecordingHostApi::~RecordingHostApi() = default;

HostApi* RecordingHostApi::api() {
  return impl_->api();
}

void RecordingHostApi::answer(std::uint32_t method, std::string url, RequestHandler handler) {
  impl_->answer(method, std::move(url), std::move(handler));
}

void RecordingHostApi::answer(std::uint32_t method, std::string url, ScriptedResponse response) {
  impl_->answer(method, std::move(url), std::move(response));
}

void RecordingHostApi::answerOthers(RequestHandler handler) {
  impl_->answerOthers(std::move(handler));
}

void RecordingHostApi::onYield(std::function<void()> handler) {
  impl_->onYield(std::move(handler));
}

std::size_t RecordingHostApi::deliverEvent(std::string_view name, const HostValue& payload) {
  return impl_->deliverEvent(name, payload);
}

void RecordingHostApi::recordEventPayloads(bool record) {
  impl_->recordEventPayloads(record);
}

std::vector<HostCall> RecordingHostApi::calls() const {
  return impl_->calls();
}

std::size_t RecordingHostApi::count(HostCall call) const {
  return impl_->count(call);
}

std::vector<RecordedRequest> RecordingHostApi::requests() const {
  return impl_->requests();
}

std::vector<RecordedEvent> RecordingHostApi::sentEvents() const {
  return impl_->sentEvents();
}

std::vector<RecordedSubscription> RecordingHostApi::subscriptions() const {
  return impl_->subscriptions();
}

std::vector<RecordedSubscription> RecordingHostApi::activeSubscriptions() const {
  return impl_->activeSubscriptions();
}

std::vector<RecordedUnsubscription> RecordingHostApi::unsubscriptions() const {
  return impl_->unsubscriptions();
}

std::vector<RecordedWait> RecordingHostApi::waits() const {
  return impl_->waits();
}

std::vector<RecordedLog> RecordingHostApi::logs() const {
  return impl_->logs();
}

std::vector<std::string> RecordingHostApi::faults() const {
  return impl_->faults();
}

const ResponseJournal& RecordingHostApi::responses() const {
  return impl_->responses();
}

}  // namespace zel::host
