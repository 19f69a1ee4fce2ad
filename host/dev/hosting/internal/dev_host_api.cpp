#include "host/dev/hosting/internal/dev_host_api.h"

#include <exception>
#include <utility>

#include "boundary/log_level_codes.h"
#include "host/conversions/host_flat_value.h"
#include "host/conversions/method_names.h"
#include "host/conversions/text_template.h"
#include "host/hosting/request_copy.h"
#include "host/messages.h"

namespace zel::host::internal {

DevHostApi::DevHostApi() : journal_(std::make_shared<ResponseJournal>()) {}

void DevHostApi::sendRequest(HostResponse& response, const HostRequest* request) {
  auto started = std::chrono::steady_clock::now();
  RecordedRequest copy = request != nullptr ? copyHostRequest(*request) : RecordedRequest();
  ScriptedResponse answer = this->answer(copy);
  fillResponse(response, answer, journal_);
  if (requestObserver_) requestObserver_(copy, answer, std::chrono::steady_clock::now() - started);
}

void DevHostApi::sendEvent(const HostEvent& event) {
  std::string name = textOrEmpty(event.name);
  HostValue payload = readFlatValue(event.payload);
  if (eventObserver_) eventObserver_(name, payload);
  subscriptions_.deliver(name, payload);
}

void DevHostApi::subscribe(RecordedSubscription subscription) {
  subscriptions_.add(std::move(subscription));
}

void DevHostApi::unsubscribe(std::string_view eventName, std::uint32_t pluginHandle) {
  subscriptions_.remove(eventName, pluginHandle);
}

void DevHostApi::writeLog(std::int32_t level, std::string_view text) {
  {
    std::lock_guard lock(loadErrorsMutex_);
    if (attaching_ && level == kLogLevelError) loadErrors_.emplace_back(text);
  }
  if (logObserver_) logObserver_(level, text);
}

void DevHostApi::entered(HostCall call) {
  if (call == HostCall::WriteLog) return;
  std::lock_guard lock(loadErrorsMutex_);
  attaching_ = false;
}

void DevHostApi::expectAttach() {
  std::lock_guard lock(loadErrorsMutex_);
  attaching_ = true;
  loadErrors_.clear();
}

std::vector<std::string> DevHostApi::loadErrors() const {
  std::lock_guard lock(loadErrorsMutex_);
  return loadErrors_;
}

void DevHostApi::addRouter(Router router) {
  routers_.push_back(std::move(router));
}

void DevHostApi::onEvent(EventObserver observer) {
  eventObserver_ = std::move(observer);
}

void DevHostApi::onLog(LogObserver observer) {
  logObserver_ = std::move(observer);
}

void DevHostApi::onRequest(RequestObserver observer) {
  requestObserver_ = std::move(observer);
}

std::size_t DevHostApi::deliverEvent(std::string_view name, const HostValue& payload) {
  return subscriptions_.deliver(name, payload);
}

void DevHostApi::forgetSubscriptions(std::uint32_t pluginHandle) {
  for (const RecordedSubscription& subscription : subscriptions_.active()) {
    if (subscription.pluginHandle == pluginHandle) {
      subscriptions_.remove(subscription.eventName, pluginHandle);
    }
  }
}

ScriptedResponse DevHostApi::answer(const RecordedRequest& request) const {
  for (const Router& router : routers_) {
    try {
      if (std::optional<ScriptedResponse> answer = router(request)) return *answer;
    } catch (const std::exception& error) {
      return ScriptedResponse::withError(
          fillTemplate(messages::kHandlerFailed,
                       {requestMethodName(request), request.url, error.what()}),
          500);
    }
  }
  return ScriptedResponse::withError(
      fillTemplate(messages::kNoHandler, {requestMethodName(request), request.url}), 404);
}

}  // namespace zel::host::internal
