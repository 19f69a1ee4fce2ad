// One log message on its way to the targets: level, channel mask, local
// time and the formatted text.
//
//   zel::LogRecord record;
//   record.level = zel::kLogWarn;
//   record.message = "disk almost full";
//
// The record does not own its text: the logger points it at its own stack
// buffer for the duration of one log call, so a target that keeps the text
// must copy it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "diagnostics/platform/platform.h"

namespace zel {

// The logger formats each message into a stack buffer of this size.
inline constexpr std::size_t kLogMessageBufferSize = 4096;

struct LogRecord {
  std::int32_t level = 0;
  std::uint64_t mask = 0;
  platform::LocalTime time;
  const char* message = "";  // zero-terminated, at most 4095 characters
};

}  // namespace zel
