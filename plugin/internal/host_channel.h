// HostChannel: the plugin's one way to call the host: the host's table of
// functions and the plugin's handle, which every request and subscription
// carries. Before attach (and in a plugin object no host attached) there is
// no table, and every call does nothing and answers 0, as a host entry whose
// result is ignored would.
//
//   HostChannel host(connection->api, connection->pluginHandle);
//   host.sendRequest(&response, &request);
//   host.subscribe("OnRegionLocaleChanged", &dispatch, context, 0);
//
// Holds the table's address only; the host owns the table, which outlives
// the plugin object. Copyable; the calls are as thread-safe as the host's.
#pragma once

#include <cstdint>

#include "boundary/host_api.h"

namespace zel::plugin::internal {

class HostChannel {
 public:
  HostChannel() = default;
  HostChannel(HostApi* api, std::uint32_t pluginHandle) noexcept
      : api_(api), pluginHandle_(pluginHandle) {}

  [[nodiscard]] bool attached() const noexcept { return api_ != nullptr; }
  [[nodiscard]] HostApi* api() const noexcept { return api_; }
  [[nodiscard]] std::uint32_t pluginHandle() const noexcept { return pluginHandle_; }

  std::int32_t sendRequest(HostResponse* response, const HostRequest* request) const {
    return api_ != nullptr ? api_->sendRequest(api_, response, request) : 0;
  }
  std::int32_t sendEvent(const HostEvent* event) const {
    return api_ != nullptr ? api_->sendEvent(api_, event) : 0;
  }
  std::int32_t subscribe(const char* eventName, HostEventCallback callback, void* context,
                         std::uint32_t flag) const {
    return api_ != nullptr
               ? api_->subscribe(api_, eventName, pluginHandle_, callback, context, flag)
               : 0;
  }
  std::int32_t unsubscribe(const char* eventName) const {
    return api_ != nullptr ? api_->unsubscribe(api_, eventName, pluginHandle_) : 0;
  }
  std::int32_t yield() const { return api_ != nullptr ? api_->yield(api_) : 0; }
  std::int32_t beginWait(const char* label, std::uint32_t flags) const {
    return api_ != nullptr ? api_->beginWait(api_, label, flags) : 0;
  }
  std::int32_t endWait() const { return api_ != nullptr ? api_->endWait(api_) : 0; }

 private:
  HostApi* api_ = nullptr;
  std::uint32_t pluginHandle_ = 0;
};

}  // namespace zel::plugin::internal
