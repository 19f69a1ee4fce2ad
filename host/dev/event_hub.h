// EventHub: hands every event the hosted plugins publish to whoever listens
// (the event stream of zel-host serve), each listener with its own queue.
//
//   std::shared_ptr<EventListener> listener = hub.listen();
//   hub.publish("OnJsonApiEvent", R"({"uri": "/zel-maps/v1/maps"})");
//   PublishedEvent event;
//   listener->next(event, std::chrono::seconds(1));   // true: got one
//
// The hub keeps listeners weakly: a listener that is dropped stops receiving.
// A listener that falls behind by more than its capacity loses the oldest
// events (and counts them). Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zel::host {

struct PublishedEvent {
  std::uint64_t sequence = 0;  // from 1, in publishing order
  std::string name;
  std::string payloadJson;
};

class EventListener {
 public:
  explicit EventListener(std::size_t capacity) : capacity_(capacity) {}

  // Waits up to timeout for the next event; false on timeout or once closed
  // and drained.
  bool next(PublishedEvent& event, std::chrono::milliseconds timeout);
  void close();
  bool closed() const;
  std::uint64_t dropped() const;

 private:
  friend class EventHub;
  void push(const PublishedEvent& event);

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<PublishedEvent> queue_;
  std::uint64_t dropped_ = 0;
  bool closed_ = false;
};

class EventHub {
 public:
  static constexpr std::size_t kDefaultCapacity = 1024;

  std::shared_ptr<EventListener> listen(std::size_t capacity = kDefaultCapacity);
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
