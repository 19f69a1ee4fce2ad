// EventHub: hands every event the hosted plugins publish to whoever listens
// (the event streams of zel-host serve), each listener with its own queue.
//
//   std::shared_ptr<EventListener> listener = hub.listen();
//   hub.publish("OnJsonApiEvent", R"({"uri": "/zel-maps/v1/maps"})");
//   PublishedEvent event;
//   listener->next(event, std::chrono::seconds(1));   // true: got one
//
// An event is kept once, however many listeners hold it: their queues share
// it, and it is freed when the last of them has taken it. The hub keeps
// listeners weakly: a listener that is dropped stops receiving. A listener
// that falls behind by more than its capacity loses the oldest events (and
// counts them); one whose unread events would pass its byte bound is closed,
// its queue emptied (fellBehind()), so that slow or many listeners cannot
// multiply what the hub holds. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zel::host {

// The most bytes of events (names and payloads) that a listener may hold
// unread besides the one it always takes; an event beyond closes it.
inline constexpr std::size_t kMaxListenerBacklogBytes = std::size_t{16} << 20;

struct PublishedEvent {
  std::uint64_t sequence = 0;  // from 1, in publishing order
  std::string name;
  std::string payloadJson;

  // What the event counts in a listener's backlog.
  std::size_t bytes() const { return name.size() + payloadJson.size(); }
};

// One published event, shared by every listener that holds it.
using SharedEvent = std::shared_ptr<const PublishedEvent>;

class EventListener {
 public:
  EventListener(std::size_t capacity, std::size_t maxBacklogBytes)
      : capacity_(capacity), maxBacklogBytes_(maxBacklogBytes) {}

  // Waits up to timeout for the next event; false on timeout or once closed
  // and drained. A copy of the event: nextShared() takes it without one.
  bool next(PublishedEvent& event, std::chrono::milliseconds timeout);
  // The same, the event shared with the other listeners; null for false.
  SharedEvent nextShared(std::chrono::milliseconds timeout);
  void close();
  bool closed() const;
  // Closed because its unread events would have passed maxBacklogBytes():
  // what it held was dropped.
  bool fellBehind() const;
  std::size_t maxBacklogBytes() const { return maxBacklogBytes_; }
  // Events lost: the oldest ones past the capacity, and those in the queue
  // (and the one that did not fit) when it fell behind.
  std::uint64_t dropped() const;

 private:
  friend class EventHub;
  void push(const SharedEvent& event);

  const std::size_t capacity_;
  const std::size_t maxBacklogBytes_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<SharedEvent> queue_;
  std::size_t backlogBytes_ = 0;  // of the events in queue_
  std::uint64_t dropped_ = 0;
  bool closed_ = false;
  bool fellBehind_ = false;
};

class EventHub {
 public:
  static constexpr std::size_t kDefaultCapacity = 1024;

  std::shared_ptr<EventListener> listen(std::size_t capacity = kDefaultCapacity,
                                        std::size_t maxBacklogBytes = kMaxListenerBacklogBytes);
  void publish(std::string name, std::string payloadJson);
  // Closes every listener: their next() returns false once drained.
  void closeAll();
  std::size_t listenerCount() const;

 private:
  mutable std::mutex mutex_;
  std::uint64_t sequence_ = 0;
  std::vector<std::weak_ptr<EventListener>> listeners_;
};

}  // namespace zel::host
