#include "host/dev/event_hub.h"

#include <algorithm>

namespace zel::host {

bool EventListener::next(PublishedEvent& event, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [&] { return !queue_.empty() || closed_; });
  if (queue_.empty()) return false;
  event = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void EventListener::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  ready_.notify_all();
}

bool EventListener::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

std::uint64_t EventListener::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void EventListener::push(const PublishedEvent& event) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    if (queue_.size() >= capacity_ && !queue_.empty()) {
      queue_.pop_front();
      ++dropped_;
    }
    queue_.push_back(event);
  }
  ready_.notify_one();
}

std::shared_ptr<EventListener> EventHub::listen(std::size_t capacity) {
  auto listener = std::make_shared<EventListener>(capacity == 0 ? 1 : capacity);
  std::lock_guard lock(mutex_);
  listeners_.push_back(listener);
  return listener;
}

void EventHub::publish(std::string name, std::string payloadJson) {
  // Pushed under the hub's lock, so every listener sees the sequence order
  // even when publishers race; listeners never take the hub's lock.
  std::lock_guard lock(mutex_);
  PublishedEvent event{++sequence_, std::move(name), std::move(payloadJson)};
  std::erase_if(listeners_,
                [](const std::weak_ptr<EventListener>& weak) { return weak.expired(); });
  for (const std::weak_ptr<EventListener>& weak : listeners_) {
    if (std::shared_ptr<EventListener> listener = weak.lock()) listener->push(event);
  }
}

void EventHub::closeAll() {
  std::vector<std::shared_ptr<EventListener>> targets;
  {
    std::lock_guard lock(mutex_);
    for (const std::weak_ptr<EventListener>& weak : listeners_) {
      if (std::shared_ptr<EventListener> listener = weak.lock()) targets.push_back(listener);
    }
    listeners_.clear();
  }
  for (const std::shared_ptr<EventListener>& listener : targets) listener->close();
}

std::size_t EventHub::listenerCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(listeners_.begin(), listeners_.end(),
                    [](const std::weak_ptr<EventListener>& weak) { return !weak.expired(); }));
}

}  // namespace zel::host
