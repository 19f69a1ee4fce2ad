#include "binding/internal/value_context.h"

#include <atomic>

namespace zel::binding::internal {
namespace {

constinit std::atomic<bool> cellPoolsEnabled{true};

}  // namespace

ValueContext::ValueContext() noexcept : cells_(cellPoolsEnabled.load(std::memory_order_relaxed)) {}

void ValueContext::setCellPoolsEnabledForTest(bool enabled) noexcept {
  cellPoolsEnabled.store(enabled, std::memory_order_relaxed);
}

}  // namespace zel::binding::internal
