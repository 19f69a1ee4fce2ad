// Line templates, level names and the time texts.
#include "diagnostics/log_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "diagnostics/log_level.h"
#include "diagnostics/log_names.h"
#include "diagnostics/logger.h"
#include "diagnostics/logger_control.h"

namespace zel {
namespace {

LogRecord sampleRecord(const char* message) {
  LogRecord record;
  record.level = kLogError;
  record.mask = kTagDbg | kTagNet;
  record.time = {2024, 5, 1, 13, 4, 5, 7};
  record.message = message;
  return record;
}

std::string render(const char* lineTemplate, const LogRecord& record) {
  char line[kLogLineBufferSize];
  const std::size_t length = renderLogLine(lineTemplate, record, line, sizeof line);
  EXPECT_EQ(length, std::char_traits<char>::length(line));
  return std::string(line, length);
}

TEST(LogLine, TemplateLetters) {
  struct Row {
    int line;
    const char* lineTemplate;
    const char* message;
    std::string expected;
  };
  const Row rows[] = {
      {__LINE__, kDefaultLineTemplate, "hello",
       "2024-05-01T13:04:05.007|  ERROR| DBG;NET| hello\n"},
      {__LINE__, "#L|#M", "x\n", " ERROR|x\n"},
      {__LINE__, "#M", "two\n\n", "two\n\n"},
      {__LINE__, "#M", "", "\n"},
      {__LINE__, "", "ignored", "\n"},
      {__LINE__, "## #Q #", "m", "# Q #\n"},
      {__LINE__, "plain", "m", "plain\n"},
      {__LINE__, "#G|", "m", "DBG;NET|\n"},
      {__LINE__, "#M%d%s", "50%", "50%%d%s\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(render(row.lineTemplate, sampleRecord(row.message)), row.expected);
  }
}

TEST(LogLine, ProcessThreadAndCounterLetters) {
  logger::acquire();  // the logger learns the process name when it is created
  const std::string name = logProcessName();
  logger::release();
  EXPECT_EQ(name.rfind("diagnostics_tests", 0), 0u) << name;
  EXPECT_EQ(name.find_first_of("/\\"), std::string::npos);
  EXPECT_EQ(render("#E", sampleRecord("")), name + "\n");

  char thread[16];
  std::snprintf(thread, sizeof thread, "%08X\n", platform::currentThreadId());
  EXPECT_EQ(render("#T", sampleRecord("")), thread);
  EXPECT_TRUE(
      std::regex_match(render("#H", sampleRecord("")), std::regex("[0-9]{6}\\.[0-9]{3}\n")));
}

TEST(LogLine, LongLinesAreCutAndStillEndWithALineFeed) {
  const std::string longMessage(5000, 'm');
  const std::string line = render("#D #M", sampleRecord(longMessage.c_str()));
  ASSERT_EQ(line.size(), kLogLineBufferSize - 1);
  EXPECT_EQ(line.back(), '\n');
  EXPECT_EQ(line[line.size() - 2], 'm');

  // A message that ends in a line feed right at the cut gets no second one.
  const std::string exact = std::string(4094, 'x');
  EXPECT_EQ(render("#M", sampleRecord((exact + "\n").c_str())), exact + "\n");

  // Tiny buffers still end in a line feed, or hold nothing.
  char small[4];
  EXPECT_EQ(renderLogLine("#M", sampleRecord("abcdef"), small, sizeof small), 3u);
  EXPECT_STREQ(small, "ab\n");
  char two[2];
  EXPECT_EQ(renderLogLine("#M", sampleRecord("abc"), two, sizeof two), 1u);
  EXPECT_STREQ(two, "\n");
  char one[1] = {'z'};
  EXPECT_EQ(renderLogLine("#M", sampleRecord("abc"), one, sizeof one), 0u);
  EXPECT_EQ(one[0], '\0');
}

TEST(LogLine, LevelNamesAndTimes) {
  EXPECT_STREQ(logLevelName(kLogOkay), "  OKAY");
  EXPECT_STREQ(logLevelName(kLogWarn), "  WARN");
  EXPECT_STREQ(logLevelName(kLogError), " ERROR");
  EXPECT_STREQ(logLevelName(kLogAlways), "ALWAYS");
  EXPECT_EQ(std::string(logLevelName(-1)).size(), 6u);
  EXPECT_EQ(std::string(logLevelName(4)).size(), 6u);

  const platform::LocalTime time{2023, 12, 31, 23, 59, 58, 999};
  char text[32];
  EXPECT_EQ(renderLogTime(time, text, sizeof text), 23u);
  EXPECT_STREQ(text, "2023-12-31T23:59:58.999");
  EXPECT_EQ(renderLogFileTime(time, text, sizeof text), 19u);
  EXPECT_STREQ(text, "2023-12-31T23-59-58");
  EXPECT_EQ(renderLogTime(time, text, 5), 4u);
  EXPECT_STREQ(text, "2023");
}

}  // namespace
}  // namespace zel
