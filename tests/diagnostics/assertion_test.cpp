// The assertion report: which parts appear, with which line feeds, and that
// it is logged at ERROR on the "DBG" channel exactly as built.
#include "diagnostics/assertion.h"

#include <gtest/gtest.h>

#include <string>

#include "diagnostics/console_log_targets.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"

namespace zel {
namespace {

TEST(AssertionReport, IncludesOnlyTheGivenParts) {
  struct Row {
    int line;
    const char* expression;
    const char* description;
    const char* file;
    std::int32_t sourceLine;
    const char* function;
    std::string expected;
  };
  const Row rows[] = {
      {__LINE__, "x > 0", "", "", 0, "", "Assertion failed!\n\nExpression: x > 0"},
      {__LINE__, "", "", "a", -7, "", "Assertion failed!\n\nFile: a\nLine: -7\n\n"},
      {__LINE__, "", "no expression", "", 0, "",
       "Assertion failed!\n\n\n\nDescription: no expression"},
      {__LINE__, nullptr, nullptr, nullptr, 0, nullptr, "Assertion failed!\n\n"},
      {__LINE__, "ALE-EECF0606",
       "zel-maps which supports plugin API 18.0.0 is not compatible with core's plugin API 17.9.9",
       "", 0, "",
       "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: zel-maps which supports "
       "plugin API 18.0.0 is not compatible with core's plugin API 17.9.9"},
      {__LINE__, "p != nullptr", "no plugin", "plugin/entry.cpp", 42, "load",
       "Assertion failed!\n\nFile: plugin/entry.cpp\nLine: 42\n\nFunction: load\n\n"
       "Expression: p != nullptr\n\nDescription: no plugin"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(
        assertionReport(row.expression, row.description, row.file, row.sourceLine, row.function),
        row.expected);
  }
}

class RecordingLogTarget : public LogTarget {
 public:
  ~RecordingLogTarget() override { detach(); }
  bool write(const LogRecord& record) override {
    level = record.level;
    mask = record.mask;
    message = record.message;
    return true;
  }
  std::int32_t level = -1;
  std::uint64_t mask = 0;
  std::string message;
};

TEST(ReportAssertion, LogsTheReportAtErrorOnTheDebugChannel) {
  logger::acquire();
  logger::stdErrTarget()->detach();
  logger::debuggerTarget()->detach();
  RecordingLogTarget target;
  target.configure(kLogOkay, kTagDbg, 0, "#M");

  reportAssertion("100% sure %s", "", "", 0, "");
  EXPECT_EQ(target.level, kLogError);
  EXPECT_EQ(target.mask, kTagDbg);
  EXPECT_EQ(target.message, "Assertion failed!\n\nExpression: 100% sure %s");

  // A report longer than a message is cut by the logger.
  const std::string longDescription(5000, 'd');
  reportAssertion("e", longDescription.c_str(), "", 0, "");
  EXPECT_EQ(target.message.size(), 4095u);
  target.detach();
  logger::release();
}

}  // namespace
}  // namespace zel
