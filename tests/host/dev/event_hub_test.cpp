#include "host/dev/event_hub.h"

#include <thread>

#include <gtest/gtest.h>

namespace zel::host {
namespace {

using std::chrono::milliseconds;

TEST(EventHubTest, EveryListenerGetsEveryEventInOrder) {
  EventHub hub;
  std::shared_ptr<EventListener> first = hub.listen();
  std::shared_ptr<EventListener> second = hub.listen();
  hub.publish("A", "1");
  hub.publish("B", "2");
  for (const std::shared_ptr<EventListener>& listener : {first, second}) {
    PublishedEvent event;
    ASSERT_TRUE(listener->next(event, milliseconds(0)));
    EXPECT_EQ(event.name, "A");
    EXPECT_EQ(event.sequence, 1u);
    ASSERT_TRUE(listener->next(event, milliseconds(0)));
    EXPECT_EQ(event.payloadJson, "2");
    EXPECT_FALSE(listener->next(event, milliseconds(0)));
  }
  second.reset();
  hub.publish("C", "3");
  EXPECT_EQ(hub.listenerCount(), 1u);
}

TEST(EventHubTest, ASlowListenerLosesTheOldestAndClosingWakesAWaiter) {
  EventHub hub;
  std::shared_ptr<EventListener> listener = hub.listen(2);
  for (int i = 0; i < 5; ++i) hub.publish("E", std::to_string(i));
  EXPECT_EQ(listener->dropped(), 3u);
  PublishedEvent event;
  ASSERT_TRUE(listener->next(event, milliseconds(0)));
  EXPECT_EQ(event.payloadJson, "3");

  std::thread closer([&] {
    std::this_thread::sleep_for(milliseconds(20));
    hub.closeAll();
  });
  ASSERT_TRUE(listener->next(event, milliseconds(5000)));  // drained first
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(listener->next(event, milliseconds(5000)));
  EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(4000));
  closer.join();
  EXPECT_TRUE(listener->closed());
  hub.publish("late", "0");
  EXPECT_FALSE(listener->next(event, milliseconds(0)));
}

}  // namespace
}  // namespace zel::host
