#include "diagnostics/console_log_targets.h"

#include <cstdio>

#include "diagnostics/log_level.h"
#include "diagnostics/log_line.h"
#include "diagnostics/log_tags.h"

namespace zel {

const char* BaseConsoleLogTarget::name() const {
  return "BaseConsoleLogTarget";
}

StdErrLogTarget::StdErrLogTarget() {
  setMinimumLevel(kLogWarn);
  setMasks(kTagDbg, kTagGen);
  setLineTemplate(kConsoleLineTemplate);
}

StdErrLogTarget::~StdErrLogTarget() {
  detach();
}

const char* StdErrLogTarget::name() const {
  return "StdErrLogTarget";
}

bool StdErrLogTarget::write(const LogRecord& record) {
  char line[kLogLineBufferSize];
  const std::size_t length = renderLine(record, line, sizeof line);
  std::fwrite(line, 1, length, stderr);
  return true;
}

void StdErrLogTarget::flush() {
  std::fflush(stderr);
}

StdOutLogTarget::StdOutLogTarget() {
  setMinimumLevel(kLogWarn);
  setMasks(kTagGen, kTagDbg);
  setLineTemplate("#M");
}

StdOutLogTarget::~StdOutLogTarget() {
  detach();
}

const char* StdOutLogTarget::name() const {
  return "StdOutLogTarget";
}

bool StdOutLogTarget::write(const LogRecord& record) {
  char line[kLogLineBufferSize];
  const std::size_t length = renderLine(record, line, sizeof line);
  std::fwrite(line, 1, length, stdout);
  if (flushEachLine()) std::fflush(stdout);
  return true;
}

void StdOutLogTarget::flush() {
  std::fflush(stdout);
}

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget() {
  setMinimumLevel(kLogWarn);
  setMasks(kTagDbg, 0);
  setLineTemplate(kConsoleLineTemplate);
}

DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
  detach();
}

const char* DebuggerConsoleLogTarget::name() const {
  return "DebuggerConsoleLogTarget";
}

bool DebuggerConsoleLogTarget::write(const LogRecord& record) {
  char line[kLogLineBufferSize];
  renderLine(record, line, sizeof line);
  platform::debuggerOutput(line);
  return true;
}

void DebuggerConsoleLogTarget::flush() {}

}  // namespace zel
