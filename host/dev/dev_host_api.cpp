#include "host/dev/dev_host_api.h"

#include <cstring>
#include <exception>
#include <type_traits>

#include "host/host_flat_value.h"
#include "host/messages.h"
#include "host/method_names.h"
#include "host/text_template.h"

namespace zel::host {

namespace {}  // namespace

// The C-callable functions of the table; each finds its host from the table.
struct DevHostEntries {
  static DevHostApi& owner(HostApi* api) {
    static_assert(std::is_standard_layout_v<DevHostApi::Table>);
    return *reinterpret_cast<DevHostApi::Table*>(api)->owner;
  }

  static std::int32_t sendRequest(HostApi* api, HostResponse* response,
                                  const HostRequest* request) {
    if (response == nullptr) return 0;
    DevHostApi& host = owner(api);
    try {
      auto started = std::chrono::steady_clock::now();
      RecordedRequest copy = request != nullptr ? copyHostRequest(*request) : RecordedRequest();
      ScriptedResponse answer = host.answer(copy);
      fillResponse(*response, answer, host.journal_);
      if (host.requestObserver_) {
        host.requestObserver_(copy, answer, std::chrono::steady_clock::now() - started);
      }
    } catch (...) {
      fillBareError(*response);
    }
    return 0;
  }

  static std::int32_t reserved1(HostApi*, std::uint32_t, std::uint32_t) { return 0; }

  static std::int32_t sendEvent(HostApi* api, const HostEvent* event) {
    if (event == nullptr) return 0;
    DevHostApi& host = owner(api);
    try {
      std::string name = textOrEmpty(event->name);
      HostValue payload = readFlatValue(event->payload);
      if (host.eventObserver_) host.eventObserver_(name, payload);
      host.deliverEvent(name, payload);
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t subscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle,
                                HostEventCallback callback, void* context, std::uint32_t flag) {
    DevHostApi& host = owner(api);
    try {
      RecordedSubscription subscription{textOrEmpty(eventName), pluginHandle, callback, context,
                                        flag};
      std::lock_guard<std::mutex> lock(host.mutex_);
      host.subscriptions_.push_back(std::move(subscription));
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t unsubscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle) {
    DevHostApi& host = owner(api);
    std::string_view name = eventName != nullptr ? eventName : "";
    std::lock_guard<std::mutex> lock(host.mutex_);
    std::erase_if(host.subscriptions_, [&](const RecordedSubscription& subscription) {
      return subscription.eventName == name && subscription.pluginHandle == pluginHandle;
    });
    return 0;
  }

  static std::int32_t reserved5(HostApi*, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint64_t, std::uint32_t) {
    return 0;
  }

  // Every answer of this host is complete when it is handed over, so a
  // plugin waiting for stream data has nothing to wait for.
  static std::int32_t yield(HostApi*) { return 0; }
  static std::int32_t beginWait(HostApi*, const char*, std::uint32_t) { return 0; }
  static std::int32_t endWait(HostApi*) { return 0; }

  static std::int32_t writeLog(HostApi* api, std::int32_t level, const char* text) {
    DevHostApi& host = owner(api);
    try {
      if (host.logObserver_) host.logObserver_(level, text != nullptr ? text : "");
    } catch (...) {
    }
    return 0;
  }
};

DevHostApi::DevHostApi()
    : table_{HostApi{&DevHostEntries::sendRequest, &DevHostEntries::reserved1,
                     &DevHostEntries::sendEvent, &DevHostEntries::subscribe,
                     &DevHostEntries::unsubscribe, &DevHostEntries::reserved5,
                     &DevHostEntries::yield, &DevHostEntries::beginWait, &DevHostEntries::endWait,
                     &DevHostEntries::writeLog},
             this},
      journal_(std::make_shared<ResponseJournal>()) {}

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
  std::vector<RecordedSubscription> targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const RecordedSubscription& subscription : subscriptions_) {
      if (subscription.eventName == name && subscription.callback != nullptr) {
        targets.push_back(subscription);
      }
    }
  }
  if (targets.empty()) return 0;
  std::string eventName(name);
  HostFlatValue flat(payload);
  for (const RecordedSubscription& subscription : targets) {
    HostEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof event);
    event.name = eventName.c_str();
    event.payload = flat.value();
    event.context = subscription.context;
    subscription.callback(&event);
  }
  return targets.size();
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

}  // namespace zel::host
