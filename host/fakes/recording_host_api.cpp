#include "host/fakes/recording_host_api.h"

#include <algorithm>
#include <exception>

#include "host/host_flat_value.h"
#include "host/messages.h"
#include "host/method_names.h"
#include "host/text_template.h"

namespace zel::host {

namespace {

ScriptedResponse noHandlerAnswer(const RecordedRequest& request) {
  return ScriptedResponse::withError(
      fillTemplate(messages::kNoHandler, {requestMethodName(request), request.url}), 404);
}

}  // namespace

RecordingHostApi::RecordingHostApi()
    : journal_(std::make_shared<ResponseJournal>()), otherHandler_(&noHandlerAnswer) {}

void RecordingHostApi::entered(HostCall call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}

void RecordingHostApi::sendRequest(HostResponse& response, const HostRequest* request) {
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

void RecordingHostApi::sendEvent(const HostEvent& event) {
  RecordedEvent copy{textOrEmpty(event.name),
                     recordEventPayloads_ ? readFlatValue(event.payload) : HostValue::makeNone(),
                     event.flags, event.context};
  std::lock_guard<std::mutex> lock(mutex_);
  sentEvents_.push_back(std::move(copy));
}

void RecordingHostApi::subscribe(RecordedSubscription subscription) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions_.push_back(subscription);
  }
  activeSubscriptions_.add(std::move(subscription));
}

void RecordingHostApi::unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) {
  activeSubscriptions_.remove(eventName, pluginHandle);
  std::lock_guard<std::mutex> lock(mutex_);
  unsubscriptions_.push_back(RecordedUnsubscription{std::string(eventName), pluginHandle});
}

void RecordingHostApi::yield() {
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

void RecordingHostApi::beginWait(std::string_view label, std::uint32_t flags) {
  RecordedWait wait{std::string(label), flags};
  std::lock_guard<std::mutex> lock(mutex_);
  waits_.push_back(std::move(wait));
}

void RecordingHostApi::writeLog(std::int32_t level, std::string_view text) {
  RecordedLog line{level, std::string(text)};
  std::lock_guard<std::mutex> lock(mutex_);
  logs_.push_back(std::move(line));
}

void RecordingHostApi::answer(std::uint32_t method, std::string url, RequestHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handlers_[{method, std::move(url)}] = std::move(handler);
}

void RecordingHostApi::answer(std::uint32_t method, std::string url, ScriptedResponse response) {
  answer(method, std::move(url),
         [response = std::move(response)](const RecordedRequest&) { return response; });
}

void RecordingHostApi::answerOthers(RequestHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  otherHandler_ = handler ? std::move(handler) : RequestHandler(&noHandlerAnswer);
}

void RecordingHostApi::onYield(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  yieldHandler_ = std::move(handler);
}

std::size_t RecordingHostApi::deliverEvent(std::string_view name, const HostValue& payload) {
  return activeSubscriptions_.deliver(name, payload);
}

std::vector<HostCall> RecordingHostApi::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::size_t RecordingHostApi::count(HostCall call) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
}

std::vector<RecordedRequest> RecordingHostApi::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<RecordedEvent> RecordingHostApi::sentEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sentEvents_;
}

std::vector<RecordedSubscription> RecordingHostApi::subscriptions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return subscriptions_;
}

std::vector<RecordedSubscription> RecordingHostApi::activeSubscriptions() const {
  return activeSubscriptions_.active();
}

std::vector<RecordedUnsubscription> RecordingHostApi::unsubscriptions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unsubscriptions_;
}

std::vector<RecordedWait> RecordingHostApi::waits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waits_;
}

std::vector<RecordedLog> RecordingHostApi::logs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logs_;
}

std::vector<std::string> RecordingHostApi::faults() const {
  std::vector<std::string> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all = faults_;
  }
  std::vector<std::string> streamFaults = journal_->faults();
  all.insert(all.end(), streamFaults.begin(), streamFaults.end());
  return all;
}

void RecordingHostApi::addFault(std::string text) {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(std::move(text));
  } catch (...) {
  }
}

RecordingHostApi::RequestHandler RecordingHostApi::handlerFor(std::uint32_t method,
                                                              const std::string& url) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = handlers_.find({method, url});
  return found != handlers_.end() ? found->second : otherHandler_;
}

}  // namespace zel::host
