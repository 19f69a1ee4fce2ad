// WarningLimiter: lets a warning about one name through at most once per
// second, so that a stream of undeliverable events does not flood the log.
//
//   if (limiter.allow(eventName, nowMilliseconds)) logText(kLogWarn, kTagDbg, line.c_str());
//
// Names are told apart by their 32-bit FNV-1a hash and kept in a small fixed
// table; when it is full, the name that warned longest ago gives up its slot.
// Thread-safe; allow allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

namespace zel::plugin::internal {

class WarningLimiter {
 public:
  static constexpr std::size_t kSlots = 16;
  static constexpr std::int64_t kIntervalMilliseconds = 1000;

  // True when no warning about name was let through in the second before
  // now (milliseconds of a steady clock), and then counts this one.
  [[nodiscard]] bool allow(std::string_view name, std::int64_t now) noexcept;

  // Milliseconds of the steady clock, for allow.
  [[nodiscard]] static std::int64_t steadyNow() noexcept;

 private:
  struct Slot {
    std::uint32_t hash = 0;
    bool used = false;
    std::int64_t last = 0;
  };

  std::mutex mutex_;
  std::array<Slot, kSlots> slots_{};
};

}  // namespace zel::plugin::internal
