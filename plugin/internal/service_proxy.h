// ServiceProxy: the plugin object's tables for answers from remote services
// that the host delivers through the three service-proxy events. Messages
// are kept by key (a uuid, or "service.method") until a waiter registered
// for that key takes one; asynchronous messages go straight to the handler
// registered for their "service.method" key.
//
//   proxy.addWaiter("a1b2", [](const PluginServiceProxyResponse& answer) { ... });
//   proxy.receiveByUuid(message);   // message.uuid == "a1b2": the waiter runs once
//   proxy.setAsyncHandler(ServiceProxy::methodKey("chat", "presence"), onPresence);
//
// Owns the messages and the callables. One mutex (the service-proxy mutex)
// guards all three tables; waiters and asynchronous handlers run with it
// held, so they must not call back into this object. Log lines are written
// after it is released.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "plugin/internal/events_text_table.h"
#include "plugin/plugin_manager_types.h"

namespace zel::plugin::internal {

class ServiceProxy {
 public:
  using Handler = std::function<void(const PluginServiceProxyResponse&)>;

  // shortName is the plugin's, printed at the start of every log line; the
  // text must outlive this object.
  explicit ServiceProxy(const std::string& shortName);
  ServiceProxy(const ServiceProxy&) = delete;
  ServiceProxy& operator=(const ServiceProxy&) = delete;

  // "OnServiceProxyUuidEvent": keeps the message under its uuid (replacing
  // an earlier one) and hands it to that key's waiter, if any.
  void receiveByUuid(const PluginServiceProxyResponse& message);
  // "OnServiceProxyMethodEvent": the same under "serviceName.methodName".
  void receiveByMethod(const PluginServiceProxyResponse& message);
  // "OnServiceProxyAsyncEvent": calls the handler of "serviceName.methodName";
  // without one the message is dropped with an error line. Never kept.
  void receiveAsync(const PluginServiceProxyResponse& message);

  // Registers a one-shot waiter for the key, replacing an earlier one; a
  // message already kept under the key fulfils it at once. An empty
  // callable is refused (false).
  bool addWaiter(std::string_view key, Handler waiter);
  bool removeWaiter(std::string_view key);
  // Registers the handler of asynchronous messages of the key, replacing an
  // earlier one. An empty callable is refused (false).
  bool setAsyncHandler(std::string_view key, Handler handler);
  bool removeAsyncHandler(std::string_view key);

  // A copy of the message kept under the key, if any.
  [[nodiscard]] std::optional<PluginServiceProxyResponse> keptMessage(std::string_view key) const;
  [[nodiscard]] std::size_t keptMessageCount() const;

  // Empties the three tables (what stop does).
  void clear();

  // "serviceName.methodName".
  [[nodiscard]] static std::string methodKey(std::string_view serviceName,
                                             std::string_view methodName);

 private:
  // Keeps the message under key, then fulfils that key's waiter.
  void keep(std::string key, const PluginServiceProxyResponse& message);
  // With the mutex held: when key has both a waiter and a kept message, takes
  // both out of their tables and calls the waiter. True when it ran.
  bool fulfilLocked(std::string_view key);
  void logFulfilled(std::string_view key) const;

  const std::string& shortName_;
  mutable std::mutex mutex_;
  TextTable<PluginServiceProxyResponse> messages_;
  TextTable<Handler> waiters_;
  TextTable<Handler> asyncHandlers_;
};

}  // namespace zel::plugin::internal
