// The logger's three built-in targets: standard error, standard output and
// the debugger's output window. The logger creates and owns them; code gets
// them through logger::stdErrTarget() and its siblings, for example to detach
// them once the host takes over the log lines.
//
//   if (zel::StdOutLogTarget* out = zel::logger::stdOutTarget()) out->setFlushEachLine(true);
//
// Each writes one rendered line per record under its own lock.
#pragma once

#include "diagnostics/log_target.h"

namespace zel {

class BaseConsoleLogTarget : public LogTarget {
 public:
  const char* name() const override;
  virtual void flush() = 0;

 protected:
  BaseConsoleLogTarget() = default;
};

// Minimum level WARN, include "DBG", exclude "GEN", "#E(#T): #L| #M".
class StdErrLogTarget final : public BaseConsoleLogTarget {
 public:
  StdErrLogTarget();
  ~StdErrLogTarget() override;
  const char* name() const override;
  bool write(const LogRecord& record) override;
  void flush() override;
};

// Minimum level WARN, include "GEN", exclude "DBG", "#M".
class StdOutLogTarget final : public BaseConsoleLogTarget {
 public:
  StdOutLogTarget();
  ~StdOutLogTarget() override;
  const char* name() const override;
  bool write(const LogRecord& record) override;
  void flush() override;

  // Off by default: standard output is then flushed only when it fills.
  void setFlushEachLine(bool flushEachLine) {
    flushEachLine_.store(flushEachLine, std::memory_order_relaxed);
  }
  bool flushEachLine() const { return flushEachLine_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> flushEachLine_{false};
};

// Minimum level WARN, include "DBG", "#E(#T): #L| #M"; does nothing where
// the system has no debugger output.
class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
 public:
  DebuggerConsoleLogTarget();
  ~DebuggerConsoleLogTarget() override;
  const char* name() const override;
  bool write(const LogRecord& record) override;
  void flush() override;
};

}  // namespace zel
