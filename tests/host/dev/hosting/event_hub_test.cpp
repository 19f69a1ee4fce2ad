#include "host/dev/hosting/event_hub.h"

#include <thread>
#include <vector>

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

// One copy of an event, however many listeners: the last one to take it
// frees it, the hub keeps none.
TEST(EventHubTest, ListenersShareOneCopyOfEachEvent) {
  EventHub hub;
  std::shared_ptr<EventListener> first = hub.listen();
  std::shared_ptr<EventListener> second = hub.listen();
  hub.publish("A", std::string(1000, 'a'));
  SharedEvent fromFirst = first->nextShared(milliseconds(0));
  ASSERT_NE(fromFirst, nullptr);
  std::weak_ptr<const PublishedEvent> kept = fromFirst;
  fromFirst.reset();
  EXPECT_FALSE(kept.expired());  // the second listener still holds it
  SharedEvent fromSecond = second->nextShared(milliseconds(0));
  EXPECT_EQ(fromSecond.get(), kept.lock().get());
  EXPECT_EQ(fromSecond->payloadJson, std::string(1000, 'a'));
  fromSecond.reset();
  EXPECT_TRUE(kept.expired());
  EXPECT_EQ(first->nextShared(milliseconds(0)), nullptr);
}

TEST(EventHubTest, AListenerWhoseUnreadEventsPassItsByteBoundIsClosedAndEmptied) {
  struct Row {
    int line;
    std::size_t capacity;
    std::size_t bound;
    std::vector<std::size_t> payloads;  // sizes, each published under an empty name
    bool fellBehind;
    std::size_t left;  // events still to read
    std::uint64_t dropped;
  };
  const Row rows[] = {
      {__LINE__, 8, 10, {4, 6}, false, 2, 0},  // exactly the bound
      {__LINE__, 8, 10, {4, 7}, true, 0, 2},   // one byte past it
      {__LINE__, 8, 10, {30}, false, 1, 0},    // one event is always taken
      {__LINE__, 8, 10, {30, 0}, true, 0, 2},  // but nothing after it
      {__LINE__, 8, 10, {0, 0, 0, 10}, false, 4, 0},
      {__LINE__, 2, 1000, {1, 1, 1}, false, 2, 1},  // the count bound alone
      // The oldest event lost to the count frees its bytes for the next.
      {__LINE__, 1, 10, {8, 8}, false, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EventHub hub;
    std::shared_ptr<EventListener> listener = hub.listen(row.capacity, row.bound);
    for (std::size_t size : row.payloads) hub.publish("", std::string(size, 'p'));
    EXPECT_EQ(listener->fellBehind(), row.fellBehind);
    EXPECT_EQ(listener->closed(), row.fellBehind);
    EXPECT_EQ(listener->dropped(), row.dropped);
    std::size_t left = 0;
    while (listener->nextShared(milliseconds(0))) ++left;
    EXPECT_EQ(left, row.left);
    // Reading frees the bytes: as much again fits.
    if (!row.fellBehind) {
      for (std::size_t size : row.payloads) hub.publish("", std::string(size, 'p'));
      EXPECT_FALSE(listener->closed());
    }
  }
}

}  // namespace
}  // namespace zel::host
