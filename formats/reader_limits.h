// The bounds every reader keeps, whatever its input: how deep containers may
// nest and how much YAML aliases may copy. Input beyond them is
// refused with an error result, so no reader (and no later walk over the
// value it built) can exhaust the stack or the memory of the process.
//
//   [[[...]]] with 512 brackets is read; with 513 it is refused.
//   maxAliasExpansionBytes(1 << 20) == 64 MiB; maxAliasExpansionBytes(32 << 20) == 128 MiB.
//
// Constants and the one rule that combines two of them; nothing here is owned.
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
// a key. These copies count toward kMaxAliasExpansionBytes too, which also
// bounds the texts of every other copy.
inline constexpr std::size_t kMaxAliasTextBytes = 16u << 20;

// The bytes that the copies YAML aliases make may hold in all, for an input
// of up to a quarter of this size: the text of every string (anchored string
// values included), every mapping key and every blob in each copy, at its
// full length. Inside the value a copy shares its texts, but every later step
// makes them real (the records a route binds, the flat values handed to the
// host, each copy of an event), so a small document must not stand for
// gigabytes there. 64 MiB leaves documents that reuse blocks freely alone,
// and the few later copies of a document just within it still fit the
// address space of a 32-bit process.
inline constexpr std::size_t kMaxAliasExpansionBytes = 64u << 20;

// For larger inputs, the copies may hold this many times the input's size.
// The process already holds the input, the parser's copy of its scalars and
// the value built from them, two to three times its size; four times more
// keeps a read of an accepted input within a small multiple of what the host
// chose to accept. Documents that reuse a block (defaults shared by records)
// copy far less than that, while an alias bomb multiplies its text by the
// width of each level and is refused within its first levels.
inline constexpr std::size_t kAliasExpansionPerInputByte = 4;

// The alias-copy byte budget of an input of `inputBytes` bytes: the larger of
// the two rules above (saturating at the largest size).
[[nodiscard]] constexpr std::size_t maxAliasExpansionBytes(std::size_t inputBytes) noexcept {
  if (inputBytes > static_cast<std::size_t>(-1) / kAliasExpansionPerInputByte) {
    return static_cast<std::size_t>(-1);
  }
  const std::size_t scaled = inputBytes * kAliasExpansionPerInputByte;
  return scaled > kMaxAliasExpansionBytes ? scaled : kMaxAliasExpansionBytes;
}

}  // namespace zel::formats
