// FNV-1a, 32 bits: the one hash of texts in the SDK (interned strings, type
// names and ids, event and resource names). Constant-evaluable, so type ids
// and name hashes can be computed at compile time.
//
//   static_assert(fnv1aHash("") == kFnvOffsetBasis);
#pragma once

#include <cstdint>
#include <string_view>

namespace zel {

inline constexpr std::uint32_t kFnvOffsetBasis = 0x811c9dc5u;
inline constexpr std::uint32_t kFnvPrime = 16777619u;

// FNV-1a over the bytes of `text`.
[[nodiscard]] constexpr std::uint32_t fnv1aHash(std::string_view text) noexcept {
  std::uint32_t hash = kFnvOffsetBasis;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return hash;
}

}  // namespace zel
