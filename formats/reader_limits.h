// The bounds every reader keeps, whatever its input: how deep containers may
// nest and how much YAML aliases may copy. Input beyond them is
// refused with an error result, so no reader (and no later walk over the
// value it built) can exhaust the stack or the memory of the process.
//
//   [[[...]]] with 512 brackets is read; with 513 it is refused.
//
// Constants only; nothing here is owned.
#pragma once

#include <cstddef>

namespace zel::formats {

// The deepest nesting of collections and structures a reader builds: a value
// holding 512 nested containers is accepted, one more is refused.
inline constexpr std::size_t kMaxNestingDepth = 512;

// The most nodes that YAML aliases may produce (by copying their anchored
// nodes) for one input.
inline constexpr std::size_t kMaxAliasNodes = 1'000'000;

// The most bytes of text that YAML aliases may copy for one input where they
// stand for a text: an alias of an anchored mapping key, or an alias used as
// a key. (Copies of anchored string values share the text and cost nothing.)
inline constexpr std::size_t kMaxAliasTextBytes = 16u << 20;

}  // namespace zel::formats
