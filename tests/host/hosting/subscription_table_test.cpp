#include "host/hosting/subscription_table.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/conversions/host_flat_value.h"

namespace zel::host {
namespace {

// A subscriber as the plugin makes one: a plain callback and a context,
// here the subscriber itself, which runs its own reaction to each event.
struct Subscriber {
  std::vector<std::string> seen;  // "name=payload" for each delivery
  std::function<void()> reaction;

  static std::int32_t receive(const HostEvent* event) {
    Subscriber& self = *static_cast<Subscriber*>(event->context);
    self.seen.push_back(std::string(event->name) + "=" + readFlatValue(event->payload).bytes);
    if (self.reaction) self.reaction();
    return 0;
  }

  RecordedSubscription to(std::string eventName, std::uint32_t pluginHandle) {
    return RecordedSubscription{std::move(eventName), pluginHandle, &Subscriber::receive, this, 0};
  }
};

TEST(SubscriptionTableTest, DeliversToEachSubscriptionOfTheNameWithItsContext) {
  SubscriptionTable table;
  Subscriber first;
  Subscriber second;
  Subscriber other;
  table.add(first.to("OnRegion", 1));
  table.add(other.to("OnOther", 1));
  table.add(second.to("OnRegion", 2));
  table.add(RecordedSubscription{"OnRegion", 3, nullptr, nullptr, 0});  // no callback: skipped

  EXPECT_EQ(table.deliver("OnRegion", HostValue::makeString("EUW")), 2u);

  EXPECT_EQ(first.seen, std::vector<std::string>{"OnRegion=EUW"});
  EXPECT_EQ(second.seen, std::vector<std::string>{"OnRegion=EUW"});
  EXPECT_TRUE(other.seen.empty());
  EXPECT_EQ(table.deliver("OnNobody", HostValue::makeString("x")), 0u);
}

TEST(SubscriptionTableTest, RemoveTakesOnlyTheNameAndHandleGiven) {
  SubscriptionTable table;
  Subscriber a;
  table.add(a.to("OnRegion", 1));
  table.add(a.to("OnRegion", 2));
  table.add(a.to("OnOther", 1));
  table.add(a.to("OnRegion", 1));

  table.remove("OnRegion", 1);

  std::vector<RecordedSubscription> left = table.active();
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].eventName, "OnRegion");
  EXPECT_EQ(left[0].pluginHandle, 2u);
  EXPECT_EQ(left[1].eventName, "OnOther");
  EXPECT_EQ(left[1].pluginHandle, 1u);
}

TEST(SubscriptionTableTest, ACallbackMayComeBackIntoTheTable) {
  SubscriptionTable table;
  Subscriber once;
  Subscriber late;
  // Unsubscribes itself and subscribes another: both under the table's
  // mutex, which deliver does not hold while the callback runs.
  once.reaction = [&] {
    table.remove("OnRegion", 1);
    table.add(late.to("OnRegion", 2));
  };
  table.add(once.to("OnRegion", 1));

  EXPECT_EQ(table.deliver("OnRegion", HostValue::makeString("1")), 1u);
  EXPECT_TRUE(late.seen.empty());  // not subscribed when the delivery started
  EXPECT_EQ(table.deliver("OnRegion", HostValue::makeString("2")), 1u);

  EXPECT_EQ(once.seen, std::vector<std::string>{"OnRegion=1"});
  EXPECT_EQ(late.seen, std::vector<std::string>{"OnRegion=2"});
}

TEST(SubscriptionTableTest, DeliveriesOnSeveralThreadsMeetChangesToTheTable) {
  SubscriptionTable table;
  std::atomic<int> calls{0};
  static std::atomic<int>* counter = nullptr;
  counter = &calls;
  HostEventCallback count = [](const HostEvent*) -> std::int32_t {
    counter->fetch_add(1);
    return 0;
  };
  table.add(RecordedSubscription{"OnTick", 1, count, nullptr, 0});

  constexpr int kDeliveries = 200;
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop) {
      table.add(RecordedSubscription{"OnTick", 2, count, nullptr, 0});
      table.remove("OnTick", 2);
    }
  });
  std::vector<std::thread> senders;
  std::atomic<std::size_t> reported{0};
  for (int thread = 0; thread < 2; ++thread) {
    senders.emplace_back([&] {
      for (int i = 0; i < kDeliveries; ++i) {
        reported += table.deliver("OnTick", HostValue::makeString("t"));
      }
    });
  }
  for (std::thread& sender : senders) sender.join();
  stop = true;
  churn.join();

  // Handle 1 stays subscribed throughout; handle 2 comes and goes.
  EXPECT_GE(calls.load(), 2 * kDeliveries);
  EXPECT_EQ(static_cast<std::size_t>(calls.load()), reported.load());
}

}  // namespace
}  // namespace zel::host
