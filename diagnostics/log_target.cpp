#include "diagnostics/log_target.h"

#include <mutex>

#include "diagnostics/internal/logger_access.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_line.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"

namespace zel {
namespace {

LogTarget* self(LogTargetDescriptor* descriptor) {
  return static_cast<LogTarget*>(descriptor->context);
}
const LogTarget* self(const LogTargetDescriptor* descriptor) {
  return static_cast<const LogTarget*>(descriptor->context);
}

}  // namespace

namespace diagnostics::internal {

// The descriptor functions of every LogTarget, and the logger's own access
// to a target it creates while holding its lock.
struct LoggerAccess {
  static bool write(LogTargetDescriptor* descriptor, const LogRecord& record) {
    LogTarget* target = self(descriptor);
    std::lock_guard guard(target->lock_);
    return target->write(record);
  }
  static void markAttached(LogTarget& target, bool attached) {
    target.attached_.store(attached, std::memory_order_release);
  }
};

void markAttached(LogTarget& target, bool attached) {
  LoggerAccess::markAttached(target, attached);
}

}  // namespace diagnostics::internal

LogTarget::LogTarget()
    : minimumLevel_(kLogWarn),
      lineTemplate_(kDefaultLineTemplate),
      descriptor_{
          kLogTargetDescriptorVersion,
          [](LogTargetDescriptor* d, std::int32_t level) { self(d)->setMinimumLevel(level); },
          [](const LogTargetDescriptor* d) { return self(d)->minimumLevel(); },
          [](LogTargetDescriptor* d, std::uint64_t include, std::uint64_t exclude) {
            self(d)->setMasks(include, exclude);
          },
          [](const LogTargetDescriptor* d) { return self(d)->includeMask(); },
          [](const LogTargetDescriptor* d) { return self(d)->excludeMask(); },
          [](const LogTargetDescriptor* d) { return self(d)->name(); },
          [](const LogTargetDescriptor* d) { return self(d)->lineTemplate(); },
          [](LogTargetDescriptor* d) { self(d)->attach(); },
          [](LogTargetDescriptor* d) { self(d)->detach(); },
          [](const LogTargetDescriptor* d) { return self(d)->isAttached(); },
          &diagnostics::internal::LoggerAccess::write,
          this,
      } {}

LogTarget::~LogTarget() {
  // Not the virtual detach: the derived part is already gone.
  if (isAttached()) {
    logger::detachTarget(&descriptor_);
    attached_.store(false, std::memory_order_release);
  }
}

void LogTarget::detach() {
  logger::detachTarget(&descriptor_);
  attached_.store(false, std::memory_order_release);
}

const char* LogTarget::name() const {
  return "LogTarget";
}

const char* LogTarget::lineTemplate() const {
  std::lock_guard guard(lock_);
  return lineTemplate_.c_str();
}

void LogTarget::attach() {
  attached_.store(logger::attachTarget(&descriptor_), std::memory_order_release);
}

void LogTarget::configure(std::int32_t minimumLevel, std::uint64_t includeMask,
                          std::uint64_t excludeMask, const char* lineTemplate) {
  // Logging takes the logger's lock and then this target's; so this never
  // holds the target's lock while it calls into the logger. Once detach has
  // returned, no line is being written to this target and none can start, so
  // the settings change between lines.
  detach();
  {
    std::lock_guard guard(lock_);
    minimumLevel_.store(minimumLevel, std::memory_order_relaxed);
    includeMask_.store(includeMask & ~excludeMask, std::memory_order_relaxed);
    excludeMask_.store(excludeMask, std::memory_order_relaxed);
    lineTemplate_ = lineTemplate == nullptr ? "" : lineTemplate;
  }
  if (!isAttached()) attach();
}

void LogTarget::setMinimumLevel(std::int32_t level) {
  std::lock_guard guard(lock_);
  minimumLevel_.store(level, std::memory_order_relaxed);
}

void LogTarget::setMasks(std::uint64_t includeMask, std::uint64_t excludeMask) {
  std::lock_guard guard(lock_);
  includeMask_.store(includeMask, std::memory_order_relaxed);
  excludeMask_.store(excludeMask, std::memory_order_relaxed);
}

void LogTarget::setLineTemplate(const char* lineTemplate) {
  std::lock_guard guard(lock_);
  lineTemplate_ = lineTemplate == nullptr ? "" : lineTemplate;
}

std::size_t LogTarget::renderLine(const LogRecord& record, char* buffer,
                                  std::size_t capacity) const {
  return renderLogLine(lineTemplate_.c_str(), record, buffer, capacity);
}

}  // namespace zel
