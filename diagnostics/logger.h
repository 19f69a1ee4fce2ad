// The process-wide logger: filters each message by level, mute mask and the
// targets' channel masks, stamps it with the local time and hands it to the
// attached targets, in attach order. It is reached through a table of plain
// functions (interface version 1), the same functions as zel::logger::*.
//
//   zel::logger::acquire();                                   // once per user
//   zel::logMessage(zel::kLogError, zel::kTagDbg, "Bad id %d", id);
//   zel::log(zel::kLogOkay, zel::kTagDbg, "Note %1 added", note.id);  // typed
//   zel::logger::release();
//
// The logger is created by the first acquire (or the first log call) with its
// three built-in console targets, standard error and the debugger attached;
// the last release detaches every target and destroys the built-in ones.
// Any thread may log; the log path formats only messages that pass the
// level and mute filters, and allocates nothing (log's text aside, which
// formatPositional returns as an owned string).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "diagnostics/format.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_tags.h"

#if defined(__MINGW32__)
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#elif defined(__GNUC__)
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define ZEL_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace zel {

namespace platform {
struct LocalTime;
}  // namespace platform
struct LogRecord;
struct LogTargetDescriptor;
class StdOutLogTarget;
class StdErrLogTarget;
class DebuggerConsoleLogTarget;

inline constexpr std::uint32_t kLoggerInterfaceVersion = 1;

// The 26 entries, in this order.
struct LoggerInterface {
  std::uint32_t (*interfaceVersion)();
  void (*acquire)();
  void (*release)();
  void (*setMinimumLevel)(std::int32_t level);
  std::int32_t (*minimumLevel)();
  void (*setMuteMask)(std::uint64_t mask);
  std::uint64_t (*muteMask)();
  void (*disable)();
  void (*enable)();
  void (*setAuxiliaryFlag)();
  void (*clearAuxiliaryFlag)();
  bool (*attachTarget)(LogTargetDescriptor* target);
  void (*detachTarget)(LogTargetDescriptor* target);
  LogTargetDescriptor* (*findTarget)(const char* name);
  StdOutLogTarget* (*stdOutTarget)();
  StdErrLogTarget* (*stdErrTarget)();
  DebuggerConsoleLogTarget* (*debuggerTarget)();
  std::uint64_t (*registerTag)(const char* name);
  std::size_t (*renderMask)(std::uint64_t mask, char* buffer, std::size_t capacity);
  std::size_t (*renderLine)(const char* lineTemplate, const LogRecord& record, char* buffer,
                            std::size_t capacity);
  const char* (*levelName)(std::int32_t level);
  const char* (*processName)();
  void (*stampTime)(LogRecord& record);
  std::size_t (*renderTime)(const platform::LocalTime& time, char* buffer, std::size_t capacity);
  std::size_t (*renderFileTime)(const platform::LocalTime& time, char* buffer,
                                std::size_t capacity);
  void (*log)(std::int32_t level, std::uint64_t mask, const char* format, va_list arguments);
};

const LoggerInterface& loggerInterface() noexcept;

namespace logger {

// Most targets the logger lists at once; attaching beyond it fails.
inline constexpr std::size_t kMaxTargets = 32;

std::uint32_t interfaceVersion();
void acquire();
void release();
void setMinimumLevel(std::int32_t level);  // initially WARN
std::int32_t minimumLevel();
void setMuteMask(std::uint64_t mask);  // initially "XTR"
std::uint64_t muteMask();
void disable();
void enable();
bool isDisabled();
// A flag kept for the interface's sake; nothing in the library reads it.
void setAuxiliaryFlag();
void clearAuxiliaryFlag();
bool auxiliaryFlag();
// Appends the target (once); false when the list is full.
bool attachTarget(LogTargetDescriptor* target);
void detachTarget(LogTargetDescriptor* target);
// The first attached target with that name, or null.
LogTargetDescriptor* findTarget(const char* name);
// The built-in targets; null while the logger does not exist.
StdOutLogTarget* stdOutTarget();
StdErrLogTarget* stdErrTarget();
DebuggerConsoleLogTarget* debuggerTarget();
void stampTime(LogRecord& record);
void logV(std::int32_t level, std::uint64_t mask, const char* format, va_list arguments);
// Whether a message of this level and mask passes the logger's own filters
// (enabled, the minimum level, the mute mask): the test the log path makes
// before it formats. The targets' filters come after formatting.
bool passesFilters(std::int32_t level, std::uint64_t mask);
// Messages logged at WARN and at ERROR since the logger was created.
std::uint64_t warningCount();
std::uint64_t errorCount();

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
