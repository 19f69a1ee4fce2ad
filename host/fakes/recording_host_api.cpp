#include "host/fakes/recording_host_api.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <type_traits>

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

// The C-callable functions of the table; each finds its host from the table.
struct RecordingHostEntries {
  static RecordingHostApi& owner(HostApi* api) {
    static_assert(std::is_standard_layout_v<RecordingHostApi::Table>);
    return *reinterpret_cast<RecordingHostApi::Table*>(api)->owner;
  }

  static std::int32_t sendRequest(HostApi* api, HostResponse* response,
                                  const HostRequest* request) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::SendRequest);
    if (response == nullptr) return 0;
    RecordedRequest copy;
    try {
      if (request != nullptr) copy = copyHostRequest(*request);
      {
        std::lock_guard<std::mutex> lock(host.mutex_);
        host.requests_.push_back(copy);
      }
      RecordingHostApi::RequestHandler handler = host.handlerFor(copy.method, copy.url);
      ScriptedResponse answer;
      try {
        answer = handler(copy);
      } catch (const std::exception& error) {
        std::string text = fillTemplate(messages::kHandlerFailed,
                                        {methodName(copy.method), copy.url, error.what()});
        host.addFault(text);
        answer = ScriptedResponse::withError(text, 500);
      }
      fillResponse(*response, answer, host.journal_);
    } catch (...) {
      fillBareError(*response);
    }
    return 0;
  }

  static std::int32_t reserved1(HostApi* api, std::uint32_t, std::uint32_t) {
    owner(api).record(HostCall::Reserved1);
    return 0;
  }

  static std::int32_t sendEvent(HostApi* api, const HostEvent* event) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::SendEvent);
    if (event == nullptr) return 0;
    try {
      RecordedEvent copy{
          textOrEmpty(event->name),
          host.recordEventPayloads_ ? readFlatValue(event->payload) : HostValue::makeNone(),
          event->flags, event->context};
      std::lock_guard<std::mutex> lock(host.mutex_);
      host.sentEvents_.push_back(std::move(copy));
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t subscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle,
                                HostEventCallback callback, void* context, std::uint32_t flag) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::Subscribe);
    try {
      RecordedSubscription subscription{textOrEmpty(eventName), pluginHandle, callback, context,
                                        flag};
      std::lock_guard<std::mutex> lock(host.mutex_);
      host.subscriptions_.push_back(subscription);
      host.activeSubscriptions_.push_back(std::move(subscription));
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t unsubscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::Unsubscribe);
    try {
      std::string name = textOrEmpty(eventName);
      std::lock_guard<std::mutex> lock(host.mutex_);
      std::erase_if(host.activeSubscriptions_, [&](const RecordedSubscription& subscription) {
        return subscription.eventName == name && subscription.pluginHandle == pluginHandle;
      });
      host.unsubscriptions_.push_back(RecordedUnsubscription{std::move(name), pluginHandle});
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t reserved5(HostApi* api, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint64_t, std::uint32_t) {
    owner(api).record(HostCall::Reserved5);
    return 0;
  }

  static std::int32_t yield(HostApi* api) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::Yield);
    std::function<void()> handler;
    try {
      {
        std::lock_guard<std::mutex> lock(host.mutex_);
        handler = host.yieldHandler_;
      }
      if (handler) handler();
    } catch (const std::exception& error) {
      host.addFault(fillTemplate(messages::kYieldHandlerFailed, {error.what()}));
    } catch (...) {
      host.addFault(fillTemplate(messages::kYieldHandlerFailed, {"unknown exception"}));
    }
    return 0;
  }

  static std::int32_t beginWait(HostApi* api, const char* label, std::uint32_t flags) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::BeginWait);
    try {
      RecordedWait wait{textOrEmpty(label), flags};
      std::lock_guard<std::mutex> lock(host.mutex_);
      host.waits_.push_back(std::move(wait));
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t endWait(HostApi* api) {
    owner(api).record(HostCall::EndWait);
    return 0;
  }

  static std::int32_t writeLog(HostApi* api, std::int32_t level, const char* text) {
    RecordingHostApi& host = owner(api);
    host.record(HostCall::WriteLog);
    try {
      RecordedLog line{level, textOrEmpty(text)};
      std::lock_guard<std::mutex> lock(host.mutex_);
      host.logs_.push_back(std::move(line));
    } catch (...) {
    }
    return 0;
  }
};

RecordingHostApi::RecordingHostApi()
    : table_{HostApi{&RecordingHostEntries::sendRequest, &RecordingHostEntries::reserved1,
                     &RecordingHostEntries::sendEvent, &RecordingHostEntries::subscribe,
                     &RecordingHostEntries::unsubscribe, &RecordingHostEntries::reserved5,
                     &RecordingHostEntries::yield, &RecordingHostEntries::beginWait,
                     &RecordingHostEntries::endWait, &RecordingHostEntries::writeLog},
             this},
      journal_(std::make_shared<ResponseJournal>()),
      otherHandler_(&noHandlerAnswer) {}

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
  std::string eventName(name);
  std::vector<RecordedSubscription> targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const RecordedSubscription& subscription : activeSubscriptions_) {
      if (subscription.eventName == eventName && subscription.callback != nullptr) {
        targets.push_back(subscription);
      }
    }
  }
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
  std::lock_guard<std::mutex> lock(mutex_);
  return activeSubscriptions_;
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

void RecordingHostApi::record(HostCall call) {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  } catch (...) {
  }
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
