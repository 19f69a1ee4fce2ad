// EventHandlerRecord: one subscription's handler in the plugin object's
// event table, its payload type erased: the identity of the payload type
// the handler takes, and run, which converts a delivered value to that type
// and calls the handler (PluginBase::subscribe builds it). The dispatcher of
// another payload type never runs a record that is not of its type.
//
//   auto record = std::make_shared<const EventHandlerRecord>(
//       EventHandlerRecord{typeIdentity<PluginResourceEvent>().id(), std::move(run)});
//   if (record->payloadTypeId == payloadTypeId) record->run(value, kPayloadPath, registry, status);
//
// Records are shared: the dispatcher keeps its copy while the handler runs,
// even if the subscription is replaced or removed meanwhile.
#pragma once

#include <cstdint>
#include <functional>

#include "binding/convert_native.h"
#include "binding/value.h"
#include "boundary/flat_value.h"

namespace zel::plugin::internal {

struct EventHandlerRecord {
  std::uint32_t payloadTypeId = 0;
  // Leaves the failure in status and calls nothing when the value does not
  // convert; throws what the handler throws (std::bad_function_call when
  // there is none).
  std::function<void(const BindingValue& value, const char* path, const TypeRegistry* registry,
                     ConversionStatus& status)>
      run;
};

// The delivered payload as a value (conversion path "<result>"); false when
// it does not convert, with the failure's message released.
[[nodiscard]] bool payloadToValue(const FlatValue& payload, BindingValue& value);

}  // namespace zel::plugin::internal
