// RecordingLogTarget: a log target of the tests that keeps the message and
// level of every record it is given, for tests that check what a unit logs.
//
//   RecordingLogTarget target;
//   target.configure(kLogOkay, kTagDbg, 0, "#M");   // attaches it
//   ...                                              // target.lines, target.levels
//
// Detaches itself when destroyed; the test keeps the logger alive around it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/log_target.h"

namespace zel::testing_support {

class RecordingLogTarget final : public LogTarget {
 public:
  ~RecordingLogTarget() override { detach(); }
  bool write(const LogRecord& record) override {
    lines.emplace_back(record.message);
    levels.push_back(record.level);
    return true;
  }
  std::vector<std::string> lines;
  std::vector<std::int32_t> levels;
};

}  // namespace zel::testing_support
