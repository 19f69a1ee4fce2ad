#include "plugin/internal/warning_limiter.h"

#include <chrono>

#include "binding/type_identity.h"

namespace zel::plugin::internal {

bool WarningLimiter::allow(std::string_view name, std::int64_t now) noexcept {
  const std::uint32_t hash = binding::internal::fnv1aHash(name);
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* oldest = &slots_[0];
    for (Slot& slot : slots_) {
      if (slot.used && slot.hash == hash) {
        if (now - slot.last < kIntervalMilliseconds) return false;
        slot.last = now;
        return true;
      }
      if (!slot.used) {
        if (oldest->used) oldest = &slot;
      } else if (oldest->used && slot.last < oldest->last) {
        oldest = &slot;
      }
    }
    *oldest = Slot{hash, true, now};
    return true;
  } catch (...) {
    return false;  // the lock could not be taken: no warning rather than a fault
  }
}

std::int64_t WarningLimiter::steadyNow() noexcept {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace zel::plugin::internal
