// HostFlatValue: a FlatValue built by the host from a HostValue, in memory
// the host allocates and frees itself (never the plugin's allocator). Used
// for event payloads, request arguments and inline response bodies that the
// host hands to the plugin.
//
//   HostFlatValue payload(HostValue::makeString("EUW"));
//   event.payload = payload.value();      // the plugin only reads it
//
// Owns the whole tree, including what the reference kinds (5 and 7) and
// unowned keys point to; destruction frees everything. Move-only.
#pragma once

#include <vector>

#include "boundary/flat_value.h"
#include "host/host_value.h"

namespace zel::host {

class HostFlatValue {
 public:
  HostFlatValue() = default;
  explicit HostFlatValue(const HostValue& value);
  ~HostFlatValue();
  HostFlatValue(HostFlatValue&& other) noexcept;
  HostFlatValue& operator=(HostFlatValue&& other) noexcept;
  HostFlatValue(const HostFlatValue&) = delete;
  HostFlatValue& operator=(const HostFlatValue&) = delete;

  [[nodiscard]] const FlatValue& value() const { return value_; }

 private:
  void clear() noexcept;

  FlatValue value_{};
  // Storage behind reference kinds and unowned keys: the FlatValue rules do
  // not free it, so the holder does.
  std::vector<void*> borrowed_;
};

// Reads a FlatValue (typically one the plugin filled) into a HostValue tree.
// Null pointers read as empty texts and containers.
[[nodiscard]] HostValue readFlatValue(const FlatValue& value);

}  // namespace zel::host
