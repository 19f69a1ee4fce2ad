// SubscriptionTable: the event subscriptions a host keeps for the plugins it
// serves, and the delivery of an event to them.
//
//   SubscriptionTable subscriptions;
//   subscriptions.add(RecordedSubscription{"OnRegionLocaleChanged", 7, &callback, context, 0});
//   subscriptions.deliver("OnRegionLocaleChanged", HostValue::makeString("EUW"));
//   subscriptions.remove("OnRegionLocaleChanged", 7);
//
// Thread-safe: the table is guarded by its own mutex, and deliver calls the
// plugin callbacks outside it, so a callback may subscribe, unsubscribe or
// deliver in turn. The payload a callback sees lives until deliver returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "host/host_value.h"
#include "host/scripted_response.h"

namespace zel::host {

class SubscriptionTable {
 public:
  void add(RecordedSubscription subscription);
  // Removes every subscription of the name made with the plugin handle.
  void remove(std::string_view eventName, std::uint32_t pluginHandle);

  // A copy of the subscriptions, in subscription order.
  [[nodiscard]] std::vector<RecordedSubscription> active() const;

  // Calls every subscription of the name that has a callback, in
  // subscription order and on this thread, with a HostEvent carrying the
  // payload and the subscription's context; returns how many were called.
  // The callbacks are those subscribed when the delivery starts.
  std::size_t deliver(std::string_view eventName, const HostValue& payload) const;

 private:
  mutable std::mutex mutex_;
  std::vector<RecordedSubscription> subscriptions_;
};

}  // namespace zel::host
