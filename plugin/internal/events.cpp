#include "plugin/internal/events.h"

#include "binding/convert_flat.h"
#include "plugin/messages.h"

namespace zel::plugin::internal {

bool payloadToValue(const FlatValue& payload, BindingValue& value) {
  // An event that does not convert is dropped; the dispatcher warns.
  return flatToValue(value, payload, plugin::messages::kPayloadPath).ok();
}

}  // namespace zel::plugin::internal
