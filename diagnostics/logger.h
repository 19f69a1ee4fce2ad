// Logging: the calls that hand a message to the process-wide logger, which
// filters it by level, mute mask and the targets' channel masks, stamps it
// with the local time and hands it to the attached targets, in attach order.
//
//   zel::logMessage(zel::kLogError, zel::kTagDbg, "Bad id %d", id);
//   zel::log(zel::kLogOkay, zel::kTagDbg, "Note %1 added", note.id);  // typed
//   zel::logText(zel::kLogWarn, zel::kTagDbg, text);                  // as it is
//
// The logger is created by the first log call (or the first acquire, see
// diagnostics/logger_control.h, where its targets and filters are set). Any
// thread may log; the log path formats only messages that pass the level
// and mute filters, and allocates nothing (log's text aside, which
// formatPositional returns as an owned string).
#pragma once

#include <cstdint>

#include "boundary/compiler.h"
#include "diagnostics/format.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_tags.h"

namespace zel {
namespace logger {
// Whether a message passes the logger's own filters (enabled, the minimum
// level, the mute mask), tested before formatting; the targets' come after.
bool passesFilters(std::int32_t level, std::uint64_t mask);
}  // namespace logger

// Formats printf-style into a 4096-byte stack buffer (cut to 4095
// characters) and logs it.
void logMessage(std::int32_t level, std::uint64_t mask, const char* format, ...)
    ZEL_PRINTF_FORMAT(3, 4);

// Logs a text as it is ("%s"), so percent signs in it are printed.
void logText(std::int32_t level, std::uint64_t mask, const char* text);

// Formats with formatPositional (typed arguments: "Note %1 added", id) and
// logs the text as it is, so percent signs in the arguments are printed. A
// message the logger's filters drop is never formatted.
template <typename... Args>
void log(std::int32_t level, std::uint64_t mask, const char* tmpl, const Args&... args) {
  if (!logger::passesFilters(level, mask) || tmpl == nullptr) return;
  logText(level, mask, formatPositional(tmpl, args...).c_str());
}

}  // namespace zel
