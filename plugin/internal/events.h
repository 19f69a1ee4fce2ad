// The handler records of the plugin object's event table, and the steps of
// delivering an event that do not depend on its payload type. A record
// holds the callable of one subscription together with the identity of the
// payload type it takes, so the dispatcher of another type never runs it.
//
//   auto record =
//   std::make_shared<plugin::internal::TypedEventHandler<PluginResourceEvent>>(onResource); if
//   (record->payloadTypeId() == typeIdentity<PluginResourceEvent>().id()) (*record)(event);
//
// Records are shared: the dispatcher keeps its copy while the handler runs,
// even if the subscription is replaced or removed meanwhile.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "binding/type_identity.h"
#include "binding/value.h"
#include "boundary/flat_value.h"

namespace zel::plugin::internal {

class EventHandlerRecord {
 public:
  explicit EventHandlerRecord(std::uint32_t payloadTypeId) noexcept
      : payloadTypeId_(payloadTypeId) {}
  virtual ~EventHandlerRecord() = default;
  EventHandlerRecord(const EventHandlerRecord&) = delete;
  EventHandlerRecord& operator=(const EventHandlerRecord&) = delete;

  [[nodiscard]] std::uint32_t payloadTypeId() const noexcept { return payloadTypeId_; }

 private:
  std::uint32_t payloadTypeId_;
};

template <typename T>
class TypedEventHandler final : public EventHandlerRecord {
 public:
  explicit TypedEventHandler(std::function<void(const T&)> handler)
      : EventHandlerRecord(typeIdentity<T>().id()), handler_(std::move(handler)) {}

  // Throws std::bad_function_call when the record holds no callable.
  void operator()(const T& payload) const { handler_(payload); }

 private:
  std::function<void(const T&)> handler_;
};

// The delivered payload as a value (conversion path "<result>"); false when
// it does not convert, with the failure's message released.
[[nodiscard]] bool payloadToValue(const FlatValue& payload, BindingValue& value);

}  // namespace zel::plugin::internal
