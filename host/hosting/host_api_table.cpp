#include "host/hosting/host_api_table.h"

#include <type_traits>

#include "host/hosting/request_copy.h"
#include "host/hosting/response_filler.h"

namespace zel::host {

namespace {

std::string_view textOrNone(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

}  // namespace

// The C-callable functions of the table. Each is the last place an exception
// can stop before it would unwind into the plugin.
struct HostApiTable::Entries {
  static HostApiTable& owner(HostApi* api) {
    static_assert(std::is_standard_layout_v<Table>);
    return *reinterpret_cast<Table*>(api)->owner;
  }

  // Tells the host of the call, then runs the member, each with every
  // exception dropped: a call that could not be counted is still served.
  template <typename Member>
  static std::int32_t run(HostApi* api, HostCall call, Member member) {
    HostApiTable& host = owner(api);
    try {
      host.entered(call);
    } catch (...) {
    }
    try {
      member(host);
    } catch (...) {
    }
    return 0;
  }

  static std::int32_t sendRequest(HostApi* api, HostResponse* response,
                                  const HostRequest* request) {
    return run(api, HostCall::SendRequest, [&](HostApiTable& host) {
      if (response == nullptr) return;
      try {
        host.sendRequest(*response, request);
      } catch (...) {
        fillBareError(*response);
      }
    });
  }

  static std::int32_t reserved1(HostApi* api, std::uint32_t, std::uint32_t) {
    return run(api, HostCall::Reserved1, [](HostApiTable& host) { host.reserved1(); });
  }

  static std::int32_t sendEvent(HostApi* api, const HostEvent* event) {
    return run(api, HostCall::SendEvent, [&](HostApiTable& host) {
      if (event != nullptr) host.sendEvent(*event);
    });
  }

  static std::int32_t subscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle,
                                HostEventCallback callback, void* context, std::uint32_t flag) {
    return run(api, HostCall::Subscribe, [&](HostApiTable& host) {
      host.subscribe(
          RecordedSubscription{textOrEmpty(eventName), pluginHandle, callback, context, flag});
    });
  }

  static std::int32_t unsubscribe(HostApi* api, const char* eventName, std::uint32_t pluginHandle) {
    return run(api, HostCall::Unsubscribe,
               [&](HostApiTable& host) { host.unsubscribe(textOrNone(eventName), pluginHandle); });
  }

  static std::int32_t reserved5(HostApi* api, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint64_t, std::uint32_t) {
    return run(api, HostCall::Reserved5, [](HostApiTable& host) { host.reserved5(); });
  }

  static std::int32_t yield(HostApi* api) {
    return run(api, HostCall::Yield, [](HostApiTable& host) { host.yield(); });
  }

  static std::int32_t beginWait(HostApi* api, const char* label, std::uint32_t flags) {
    return run(api, HostCall::BeginWait,
               [&](HostApiTable& host) { host.beginWait(textOrNone(label), flags); });
  }

  static std::int32_t endWait(HostApi* api) {
    return run(api, HostCall::EndWait, [](HostApiTable& host) { host.endWait(); });
  }

  static std::int32_t writeLog(HostApi* api, std::int32_t level, const char* text) {
    return run(api, HostCall::WriteLog,
               [&](HostApiTable& host) { host.writeLog(level, textOrNone(text)); });
  }
};

HostApiTable::HostApiTable()
    : table_{HostApi{&Entries::sendRequest, &Entries::reserved1, &Entries::sendEvent,
                     &Entries::subscribe, &Entries::unsubscribe, &Entries::reserved5,
                     &Entries::yield, &Entries::beginWait, &Entries::endWait, &Entries::writeLog},
             this} {}

}  // namespace zel::host
