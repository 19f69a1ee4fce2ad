#include "host/hosting/subscription_table.h"

#include <cstring>
#include <string>
#include <utility>

#include "host/conversions/host_flat_value.h"

namespace zel::host {

void SubscriptionTable::add(RecordedSubscription subscription) {
  std::lock_guard<std::mutex> lock(mutex_);
  subscriptions_.push_back(std::move(subscription));
}

void SubscriptionTable::remove(std::string_view eventName, std::uint32_t pluginHandle) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(subscriptions_, [&](const RecordedSubscription& subscription) {
    return subscription.eventName == eventName && subscription.pluginHandle == pluginHandle;
  });
}

std::vector<RecordedSubscription> SubscriptionTable::active() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return subscriptions_;
}

std::size_t SubscriptionTable::deliver(std::string_view eventName, const HostValue& payload) const {
  std::vector<RecordedSubscription> targets;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const RecordedSubscription& subscription : subscriptions_) {
      if (subscription.eventName == eventName && subscription.callback != nullptr) {
        targets.push_back(subscription);
      }
    }
  }
  if (targets.empty()) return 0;
  // The callbacks run unlocked: each may come back into the table.
  const std::string name(eventName);
  const HostFlatValue flat(payload);
  for (const RecordedSubscription& subscription : targets) {
    HostEvent event;
    std::memset(static_cast<void*>(&event), 0, sizeof event);
    event.name = name.c_str();
    event.payload = flat.value();
    event.context = subscription.context;
    subscription.callback(&event);
  }
  return targets.size();
}

}  // namespace zel::host
