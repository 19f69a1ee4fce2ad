#include "plugin/internal/service_proxy.h"

#include <utility>

#include "diagnostics/format.h"
#include "diagnostics/logger.h"
#include "plugin/messages.h"

namespace zel::plugin::internal {

namespace text = plugin::messages;

ServiceProxy::ServiceProxy(const std::string& shortName)
    : shortName_(shortName),
      messages_(kTableBuckets),
      waiters_(kTableBuckets),
      asyncHandlers_(kTableBuckets) {}

std::string ServiceProxy::methodKey(std::string_view serviceName, std::string_view methodName) {
  return formatPositional(text::kServiceProxyKey, serviceName, methodName);
}

void ServiceProxy::receiveByUuid(const PluginServiceProxyResponse& message) {
  keep(message.uuid, message);
}

void ServiceProxy::receiveByMethod(const PluginServiceProxyResponse& message) {
  keep(methodKey(message.serviceName, message.methodName), message);
}

void ServiceProxy::receiveAsync(const PluginServiceProxyResponse& message) {
  const std::string key = methodKey(message.serviceName, message.methodName);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto handler = asyncHandlers_.find(key);
    if (handler != asyncHandlers_.end()) {
      handler->second(message);
      return;
    }
  }
  logText(kLogError, kTagDbg,
          formatPositional(text::kServiceProxyAsyncUnhandled, shortName_, key).c_str());
}

// Every change of the tables tries the one key it touched, in the same
// critical section, so no other key can hold both a waiter and a message
// at that point: trying this key is all a walk over the kept messages
// would find.
void ServiceProxy::keep(std::string key, const PluginServiceProxyResponse& message) {
  bool fulfilled = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.insert_or_assign(key, message);
    fulfilled = fulfilLocked(key);
  }
  if (fulfilled) logFulfilled(key);
}

bool ServiceProxy::addWaiter(std::string_view key, Handler waiter) {
  if (!waiter) return false;
  bool fulfilled = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiters_.insert_or_assign(std::string(key), std::move(waiter));
    fulfilled = fulfilLocked(key);
  }
  if (fulfilled) logFulfilled(key);
  return true;
}

bool ServiceProxy::removeWaiter(std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = waiters_.find(key);
  if (found == waiters_.end()) return false;
  waiters_.erase(found);
  return true;
}

bool ServiceProxy::setAsyncHandler(std::string_view key, Handler handler) {
  if (!handler) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  asyncHandlers_.insert_or_assign(std::string(key), std::move(handler));
  return true;
}

bool ServiceProxy::removeAsyncHandler(std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = asyncHandlers_.find(key);
  if (found == asyncHandlers_.end()) return false;
  asyncHandlers_.erase(found);
  return true;
}

std::optional<PluginServiceProxyResponse> ServiceProxy::keptMessage(std::string_view key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = messages_.find(key);
  if (found == messages_.end()) return std::nullopt;
  return found->second;
}

std::size_t ServiceProxy::keptMessageCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_.size();
}

void ServiceProxy::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  resetTable(waiters_);
  resetTable(asyncHandlers_);
  resetTable(messages_);
}

bool ServiceProxy::fulfilLocked(std::string_view key) {
  const auto waiter = waiters_.find(key);
  if (waiter == waiters_.end()) return false;
  const auto kept = messages_.find(key);
  if (kept == messages_.end()) return false;
  // Both leave their tables before the waiter runs: a waiter is one-shot
  // even when it throws.
  const Handler run = std::move(waiter->second);
  const PluginServiceProxyResponse answer = std::move(kept->second);
  waiters_.erase(waiter);
  messages_.erase(kept);
  run(answer);
  return true;
}

void ServiceProxy::logFulfilled(std::string_view key) const {
  logText(kLogAlways, kTagDbg,
          formatPositional(text::kServiceProxyFulfilled, shortName_, key).c_str());
}

}  // namespace zel::plugin::internal
