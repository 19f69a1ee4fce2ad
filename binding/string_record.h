// StringRecord: one interned text of a value context, and the FNV-1a hash
// that keys the intern table. The text (any bytes, length kept) follows the
// record in the same block and is zero-terminated.
//
//   StringRecord* record = context.intern("gameMode");   // counted reference
//   record->view();                                      // "gameMode"
//   context.release(record);                             // freed at count 0
//
// The record for the empty text is one shared, process-wide object: it is
// never counted, interned or freed (its reference count stays 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/type_identity.h"

namespace zel::binding::internal {

struct StringRecord {
  std::uint32_t hash;
  std::uint32_t references;  // 0 only for the shared empty record
  std::uint32_t length;      // bytes before the terminating zero

  [[nodiscard]] const char* text() const noexcept {
    return reinterpret_cast<const char*>(this + 1);
  }
  [[nodiscard]] char* text() noexcept { return reinterpret_cast<char*>(this + 1); }
  [[nodiscard]] std::string_view view() const noexcept { return {text(), length}; }
  [[nodiscard]] bool isShared() const noexcept { return references == 0; }
};

// The shared record of the empty text.
[[nodiscard]] StringRecord* emptyStringRecord() noexcept;

// Unsigned byte order of two texts; a prefix sorts first. A plain loop:
// keys mostly differ within their first bytes, where a call to memcmp costs more.
[[nodiscard]] inline int compareKeys(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace zel::binding::internal
