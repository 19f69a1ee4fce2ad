#include "api/call_info.h"

#include <chrono>

namespace zel {

std::int64_t currentTimeTicks() noexcept {
  using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
  return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace zel
