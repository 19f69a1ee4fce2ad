#include "host/dev/hosting/event_hub.h"

#include <algorithm>

namespace zel::host {

bool EventListener::next(PublishedEvent& event, std::chrono::milliseconds timeout) {
  SharedEvent shared = nextShared(timeout);
  if (!shared) return false;
  event = *shared;
  return true;
}

SharedEvent EventListener::nextShared(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [&] { return !queue_.empty() || closed_; });
  if (queue_.empty()) return nullptr;
  SharedEvent event = std::move(queue_.front());
  queue_.pop_front();
  backlogBytes_ -= event->bytes();
  return event;
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

bool EventListener::fellBehind() const {
  std::lock_guard lock(mutex_);
  return fellBehind_;
}

std::uint64_t EventListener::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void EventListener::push(const SharedEvent& event) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    if (queue_.size() >= capacity_ && !queue_.empty()) {
      backlogBytes_ -= queue_.front()->bytes();
      queue_.pop_front();
      ++dropped_;
    }
    // One event is always taken, however large: the publisher made it
    // anyway, and the queue only shares it.
    bool fits =
        event->bytes() <= maxBacklogBytes_ && backlogBytes_ <= maxBacklogBytes_ - event->bytes();
    if (!queue_.empty() && !fits) {
      dropped_ += queue_.size() + 1;
      queue_.clear();
      backlogBytes_ = 0;
      closed_ = true;
      fellBehind_ = true;
    } else {
      queue_.push_back(event);
      backlogBytes_ += event->bytes();
    }
  }
  ready_.notify_all();
}

std::shared_ptr<EventListener> EventHub::listen(std::size_t capacity, std::size_t maxBacklogBytes) {
  auto listener = std::make_shared<EventListener>(capacity == 0 ? 1 : capacity, maxBacklogBytes);
  std::lock_guard lock(mutex_);
  listeners_.push_back(listener);
  return listener;
}

void EventHub::publish(std::string name, std::string payloadJson) {
  // Pushed under the hub's lock, so every listener sees the sequence order
  // even when publishers race; listeners never take the hub's lock.
  auto event =
      std::make_shared<PublishedEvent>(PublishedEvent{0, std::move(name), std::move(payloadJson)});
  std::lock_guard lock(mutex_);
  event->sequence = ++sequence_;
  SharedEvent shared = std::move(event);
  std::erase_if(listeners_,
                [](const std::weak_ptr<EventListener>& weak) { return weak.expired(); });
  for (const std::weak_ptr<EventListener>& weak : listeners_) {
    if (std::shared_ptr<EventListener> listener = weak.lock()) listener->push(shared);
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
