// The logger's state lives in static storage that is never destroyed, so a
// log call from any static destructor still finds a valid lock; "creating"
// and "destroying" the logger set up and tear down its targets and settings.
#include "diagnostics/logger.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/internal/event_tracing.h"
#include "diagnostics/internal/logger_access.h"
#include "diagnostics/log_line.h"
#include "diagnostics/log_names.h"
#include "diagnostics/logger_control.h"

namespace zel {
namespace {

struct LoggerState {
  platform::Lock lock;
  std::atomic<bool> created{false};
  std::size_t users = 0;
  LogTargetDescriptor* targets[logger::kMaxTargets] = {};
  std::size_t targetCount = 0;
  std::atomic<bool> disabled{false};
  bool auxiliary = false;
  std::atomic<std::int32_t> minimumLevel{kLogWarn};
  std::atomic<std::uint64_t> muteMask{kTagXtr};
  std::uint64_t warnings = 0;
  std::uint64_t errors = 0;
  // The built-in targets, made without throwing: a target that could not be
  // allocated is simply missing, and the logger works without it.
  std::unique_ptr<StdErrLogTarget> stdErr;
  std::unique_ptr<StdOutLogTarget> stdOut;
  std::unique_ptr<DebuggerConsoleLogTarget> debugger;
};

LoggerState& state() {
  alignas(LoggerState) static unsigned char storage[sizeof(LoggerState)];
  static LoggerState* const instance = new (storage) LoggerState;
  return *instance;
}

bool appendLocked(LoggerState& s, LogTargetDescriptor* target) {
  for (std::size_t i = 0; i < s.targetCount; ++i) {
    if (s.targets[i] == target) return true;
  }
  if (s.targetCount == logger::kMaxTargets) return false;
  s.targets[s.targetCount++] = target;
  return true;
}

void createLocked(LoggerState& s) {
  diagnostics::internal::learnProcessName();
  diagnostics::internal::start();
  s.disabled.store(false, std::memory_order_relaxed);
  s.auxiliary = false;
  s.minimumLevel.store(kLogWarn, std::memory_order_relaxed);
  s.muteMask.store(kTagXtr, std::memory_order_relaxed);
  s.warnings = 0;
  s.errors = 0;
  s.stdErr.reset(new (std::nothrow) StdErrLogTarget);
  s.stdOut.reset(new (std::nothrow) StdOutLogTarget);
  s.debugger.reset(new (std::nothrow) DebuggerConsoleLogTarget);
  // The target's own attach would take this lock again.
  for (LogTarget* target :
       {static_cast<LogTarget*>(s.stdErr.get()), static_cast<LogTarget*>(s.debugger.get())}) {
    if (target != nullptr && appendLocked(s, target->descriptor())) {
      diagnostics::internal::markAttached(*target, true);
    }
  }
  s.created.store(true, std::memory_order_release);
}

void ensureCreatedLocked(LoggerState& s) {
  if (!s.created.load(std::memory_order_relaxed)) createLocked(s);
}

// Runs f under the lock of a logger that exists.
template <typename F>
auto withLogger(F f) {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  ensureCreatedLocked(s);
  return f(s);
}

bool accepts(const LogTargetDescriptor* target, const LogRecord& record) {
  if (record.level < target->minimumLevel(target)) return false;
  if (record.mask == 0) return true;
  if ((record.mask & target->excludeMask(target)) != 0) return false;
  const std::uint64_t include = target->includeMask(target);
  return include == 0 || (record.mask & include) != 0;
}

}  // namespace

namespace logger {

std::uint32_t interfaceVersion() {
  return kLoggerInterfaceVersion;
}

void acquire() {
  withLogger([](LoggerState& s) { ++s.users; });
}

void release() {
  LoggerState& s = state();
  LogTargetDescriptor* attached[kMaxTargets];
  std::size_t attachedCount = 0;
  // Taken out under the lock and destroyed outside it: a target's destructor
  // detaches it, which takes the lock.
  std::unique_ptr<LogTarget> builtIns[3];
  {
    std::lock_guard guard(s.lock);
    if (s.users == 0) return;
    if (--s.users != 0 || !s.created.load(std::memory_order_relaxed)) return;
    attachedCount = s.targetCount;
    std::memcpy(attached, s.targets, attachedCount * sizeof attached[0]);
    s.targetCount = 0;
    builtIns[0] = std::move(s.stdErr);
    builtIns[1] = std::move(s.stdOut);
    builtIns[2] = std::move(s.debugger);
    s.created.store(false, std::memory_order_release);
  }
  // Outside the lock: a target's detach calls back into detachTarget.
  while (attachedCount > 0) {
    LogTargetDescriptor* target = attached[--attachedCount];
    target->detach(target);
  }
  for (std::unique_ptr<LogTarget>& target : builtIns) target.reset();
}

void setMinimumLevel(std::int32_t level) {
  withLogger([level](LoggerState& s) { s.minimumLevel.store(level, std::memory_order_relaxed); });
}

std::int32_t minimumLevel() {
  return withLogger([](LoggerState& s) { return s.minimumLevel.load(std::memory_order_relaxed); });
}

void setMuteMask(std::uint64_t mask) {
  withLogger([mask](LoggerState& s) { s.muteMask.store(mask, std::memory_order_relaxed); });
}

std::uint64_t muteMask() {
  return withLogger([](LoggerState& s) { return s.muteMask.load(std::memory_order_relaxed); });
}

void disable() {
  withLogger([](LoggerState& s) { s.disabled.store(true, std::memory_order_relaxed); });
}

void enable() {
  withLogger([](LoggerState& s) { s.disabled.store(false, std::memory_order_relaxed); });
}

bool isDisabled() {
  return withLogger([](LoggerState& s) { return s.disabled.load(std::memory_order_relaxed); });
}

void setAuxiliaryFlag() {
  withLogger([](LoggerState& s) { s.auxiliary = true; });
}

void clearAuxiliaryFlag() {
  withLogger([](LoggerState& s) { s.auxiliary = false; });
}

bool auxiliaryFlag() {
  return withLogger([](LoggerState& s) { return s.auxiliary; });
}

bool attachTarget(LogTargetDescriptor* target) {
  if (target == nullptr || target->version != kLogTargetDescriptorVersion) return false;
  return withLogger([target](LoggerState& s) { return appendLocked(s, target); });
}

void detachTarget(LogTargetDescriptor* target) {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  for (std::size_t i = 0; i < s.targetCount; ++i) {
    if (s.targets[i] != target) continue;
    std::memmove(&s.targets[i], &s.targets[i + 1], (s.targetCount - i - 1) * sizeof s.targets[0]);
    --s.targetCount;
    return;
  }
}

LogTargetDescriptor* findTarget(const char* name) {
  if (name == nullptr) return nullptr;
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  for (std::size_t i = 0; i < s.targetCount; ++i) {
    LogTargetDescriptor* target = s.targets[i];
    const char* targetName = target->name(target);
    if (targetName != nullptr && std::strcmp(targetName, name) == 0) return target;
  }
  return nullptr;
}

StdOutLogTarget* stdOutTarget() {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  return s.stdOut.get();
}

StdErrLogTarget* stdErrTarget() {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  return s.stdErr.get();
}

DebuggerConsoleLogTarget* debuggerTarget() {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  return s.debugger.get();
}

void stampTime(LogRecord& record) {
  record.time = platform::localTime();
}

bool passesFilters(std::int32_t level, std::uint64_t mask) {
  LoggerState& s = state();
  if (!s.created.load(std::memory_order_acquire)) {
    std::lock_guard guard(s.lock);
    ensureCreatedLocked(s);
  }
  return !s.disabled.load(std::memory_order_relaxed) &&
         level >= s.minimumLevel.load(std::memory_order_relaxed) &&
         (mask & s.muteMask.load(std::memory_order_relaxed)) == 0;
}

void logV(std::int32_t level, std::uint64_t mask, const char* format, va_list arguments) {
  if (!passesFilters(level, mask) || format == nullptr) return;
  LoggerState& s = state();

  char text[kLogMessageBufferSize];
  if (std::vsnprintf(text, sizeof text, format, arguments) < 0) text[0] = '\0';
  LogRecord record;
  record.level = level;
  record.mask = mask;
  record.message = text;
  stampTime(record);
  diagnostics::internal::writeLogMessage(level, mask, text);

  std::lock_guard guard(s.lock);
  if (level == kLogWarn) ++s.warnings;
  if (level == kLogError) ++s.errors;
  for (std::size_t i = 0; i < s.targetCount; ++i) {
    LogTargetDescriptor* target = s.targets[i];
    if (accepts(target, record)) target->write(target, record);
  }
}

std::uint64_t warningCount() {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  return s.warnings;
}

std::uint64_t errorCount() {
  LoggerState& s = state();
  std::lock_guard guard(s.lock);
  return s.errors;
}

}  // namespace logger

const LoggerInterface& loggerInterface() noexcept {
  static constexpr LoggerInterface kInterface = {
      &logger::interfaceVersion,
      &logger::acquire,
      &logger::release,
      &logger::setMinimumLevel,
      &logger::minimumLevel,
      &logger::setMuteMask,
      &logger::muteMask,
      &logger::disable,
      &logger::enable,
      &logger::setAuxiliaryFlag,
      &logger::clearAuxiliaryFlag,
      &logger::attachTarget,
      &logger::detachTarget,
      &logger::findTarget,
      &logger::stdOutTarget,
      &logger::stdErrTarget,
      &logger::debuggerTarget,
      &registerLogTag,
      &renderLogMask,
      &renderLogLine,
      &logLevelName,
      &logProcessName,
      &logger::stampTime,
      &renderLogTime,
      &renderLogFileTime,
      &logger::logV,
  };
  return kInterface;
}

void logMessage(std::int32_t level, std::uint64_t mask, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  logger::logV(level, mask, format, arguments);
  va_end(arguments);
}

void logText(std::int32_t level, std::uint64_t mask, const char* text) {
  logMessage(level, mask, "%s", text == nullptr ? "" : text);
}

}  // namespace zel
