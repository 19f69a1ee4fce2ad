#include "host/conversions/text_template.h"

#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(TextTemplateTest, FillsNumberedPlaceholders) {
  struct Row {
    int line;
    const char* pattern;
    std::string expected;
  };
  const Row rows[] = {
      {__LINE__, "No handler for %1 %2", "No handler for GET /a"},
      {__LINE__, "%2 before %1", "/a before GET"},
      {__LINE__, "100%% of %1", "100% of GET"},
      {__LINE__, "missing %3 dropped", "missing  dropped"},
      {__LINE__, "trailing %", "trailing %"},
      {__LINE__, "%x stays", "%x stays"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line);
    EXPECT_EQ(fillTemplate(row.pattern, {"GET", "/a"}), row.expected);
  }
}

}  // namespace
}  // namespace zel::host
