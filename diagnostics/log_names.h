// The names a log line prints for a message's level and channel mask, read
// from the process-wide tag table of diagnostics/log_tags.h. Only the log
// line writer and the logger need them; a plugin names levels and tags by
// their constants.
//
//   logLevelName(kLogWarn);                                      // "  WARN"
//   renderLogMask(kTagDbg | kTagNet, buffer, sizeof buffer);    // "DBG;NET"
//
// Names are static texts or written into the caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

// "  OKAY", "  WARN", " ERROR", "ALWAYS"; "     ?" for any other code.
const char* logLevelName(std::int32_t level) noexcept;

inline constexpr std::size_t kLogTagSlots = 64;

// The tag in slot i (up to three characters), "???" for a free slot.
// Writes into the caller's buffer of at least 4 bytes.
void logTagName(std::size_t slot, char (&name)[4]) noexcept;

// The tag names of the set bits, lowest first, separated by ';' (empty for
// 0). Writes at most capacity - 1 characters plus the terminator and returns
// the length written.
std::size_t renderLogMask(std::uint64_t mask, char* buffer, std::size_t capacity) noexcept;

}  // namespace zel
