// The logger's controls: the table of plain functions it is reached through
// (interface version 1, the same functions as zel::logger::*), its levels,
// mute mask and targets, and the lifetime of the process-wide instance. The
// calls that log are in diagnostics/logger.h.
//
//   zel::logger::acquire();                                   // once per user
//   zel::logger::setMinimumLevel(zel::kLogOkay);
//   zel::logger::release();
//
// The logger is created by the first acquire (or the first log call) with its
// three built-in console targets, standard error and the debugger attached;
// the last release detaches every target and destroys the built-in ones.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "diagnostics/logger.h"

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
// Messages logged at WARN and at ERROR since the logger was created.
std::uint64_t warningCount();
std::uint64_t errorCount();

}  // namespace logger
}  // namespace zel
