#include "plugin/events.h"

#include "binding/convert_flat.h"
#include "plugin/events_messages.h"
#include "boundary/host_messages.h"

namespace zel::events {

bool payloadToValue(const FlatValue& payload, BindingValue& value) {
  HostResponse failure{};
  if (flatToValue(failure, value, payload, messages::kPayloadPath)) return true;
  // The failure is dropped without a report; only its message needs freeing.
  if (failure.release != nullptr) failure.release(&failure);
  return false;
}

}  // namespace zel::events
