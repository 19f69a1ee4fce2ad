// TextTable: the hash table from text to V behind the event, listener and
// service-proxy tables of the plugin object. Keys hash with 32-bit FNV-1a
// and are looked up by std::string_view without building a std::string.
//
//   TextTable<int> counts(kTableBuckets);
//   counts.find(std::string_view(name));   // no allocation
//   resetTable(counts);                     // empty again, back to a small bucket array
//
// Plain containers: whoever holds one guards it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "binding/type_identity.h"

namespace zel::plugin::internal {

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return binding::internal::fnv1aHash(text);
  }
};

template <typename V>
using TextTable = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;

// The bucket count a table starts with and returns to when cleared.
inline constexpr std::size_t kTableBuckets = 8;

// Empties the table and gives its large bucket array back, so a plugin that
// stops keeps no memory for what it no longer listens to.
template <typename Table>
void resetTable(Table& table) {
  Table fresh(kTableBuckets);
  table.swap(fresh);
}

}  // namespace zel::plugin::internal
