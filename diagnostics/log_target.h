// Log targets: where the logger's lines go. The logger talks to a target only
// through its LogTargetDescriptor, a plain table of functions, so code outside
// this class tree can supply a target too; LogTarget is the base of the
// library's own targets and fills its descriptor with trampolines to itself.
//
//   MyTarget target;                       // derives from LogTarget
//   target.configure(zel::kLogOkay, 0, 0, "#D| #L| #G| #M");   // attaches it
//   ...
//   target.detach();
//
// The logger never owns a target it did not create; a target must be
// detached before it is destroyed (~LogTarget does it, but a derived class
// whose write uses its own members should call detach() in its destructor).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "diagnostics/log_record.h"
#include "diagnostics/platform/platform.h"

namespace zel {

inline constexpr std::uint32_t kLogTargetDescriptorVersion = 1;

// Every function takes the descriptor itself first. attach and detach are
// the target's own operations: they call the logger's attachTarget /
// detachTarget with this descriptor and keep the target's attached flag; the
// logger calls detach only when it is released. write is called while the
// logger's lock is held; the target takes its own lock inside, and must not
// call back into the logger.
struct LogTargetDescriptor {
  std::uint32_t version;  // kLogTargetDescriptorVersion
  void (*setMinimumLevel)(LogTargetDescriptor* self, std::int32_t level);
  std::int32_t (*minimumLevel)(const LogTargetDescriptor* self);
  void (*setMasks)(LogTargetDescriptor* self, std::uint64_t include, std::uint64_t exclude);
  std::uint64_t (*includeMask)(const LogTargetDescriptor* self);
  std::uint64_t (*excludeMask)(const LogTargetDescriptor* self);
  const char* (*name)(const LogTargetDescriptor* self);
  const char* (*lineTemplate)(const LogTargetDescriptor* self);
  void (*attach)(LogTargetDescriptor* self);
  void (*detach)(LogTargetDescriptor* self);
  bool (*isAttached)(const LogTargetDescriptor* self);
  bool (*write)(LogTargetDescriptor* self, const LogRecord& record);
  void* context;  // the object behind the functions
};

namespace diagnostics::internal {
struct LoggerAccess;
}

class LogTarget {
 public:
  virtual ~LogTarget();
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;

  // Removes the target from the logger's list.
  virtual void detach();
  // The class name: "LogTarget", "StdErrLogTarget", ...
  virtual const char* name() const;
  // The template text; valid until the template is changed.
  virtual const char* lineTemplate() const;
  // Outputs one record; called with the target's lock held.
  virtual bool write(const LogRecord& record) = 0;

  // Appends the target to the logger's list (once).
  void attach();
  bool isAttached() const { return attached_.load(std::memory_order_acquire); }

  // Detaches the target, stores the minimum level, the include mask less the
  // excluded bits, the exclude mask and the line template, then attaches it.
  // Safe while other threads log.
  void configure(std::int32_t minimumLevel, std::uint64_t includeMask, std::uint64_t excludeMask,
                 const char* lineTemplate);

  void setMinimumLevel(std::int32_t level);
  std::int32_t minimumLevel() const { return minimumLevel_.load(std::memory_order_relaxed); }
  void setMasks(std::uint64_t includeMask, std::uint64_t excludeMask);
  std::uint64_t includeMask() const { return includeMask_.load(std::memory_order_relaxed); }
  std::uint64_t excludeMask() const { return excludeMask_.load(std::memory_order_relaxed); }
  void setLineTemplate(const char* lineTemplate);

  LogTargetDescriptor* descriptor() { return &descriptor_; }

 protected:
  // Minimum level WARN, no masks, the template "#D| #L| #G| #M"; detached.
  LogTarget();

  // Renders the record with this target's template; for write, which runs
  // with the lock held.
  std::size_t renderLine(const LogRecord& record, char* buffer, std::size_t capacity) const;

 private:
  friend struct diagnostics::internal::LoggerAccess;

  mutable platform::Lock lock_;
  std::atomic<bool> attached_{false};
  std::atomic<std::int32_t> minimumLevel_;
  std::atomic<std::uint64_t> includeMask_{0};
  std::atomic<std::uint64_t> excludeMask_{0};
  std::string lineTemplate_;  // guarded by lock_
  LogTargetDescriptor descriptor_;
};

}  // namespace zel
