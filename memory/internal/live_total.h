// The live figure the counting allocator derives from two of its running
// totals, when a thread has just added to one and reads the other afterwards.
//
//   liveTotal(allocated, counters.bytesFreed.load());  // bytes live now, or 0
//
// Between the two steps other threads may allocate and free: their frees
// can then exceed what this thread's own total includes. The difference is
// no live figure then, and certainly no peak; it is taken as 0 instead of
// wrapping round to an enormous unsigned value. Header only; nothing owned.
#pragma once

#include <cstdint>

namespace zel::memory::internal {

[[nodiscard]] constexpr std::uint64_t liveTotal(std::uint64_t added, std::uint64_t taken) noexcept {
  return added > taken ? added - taken : 0;
}

}  // namespace zel::memory::internal
