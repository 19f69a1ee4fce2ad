#include "host/api_version.h"

#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(ApiVersionTest, ParsesThreeNumbersAndDropsSuffixes) {
  struct Row {
    int line;
    const char* text;
    std::optional<ApiVersion> expected;
  };
  const Row rows[] = {
      {__LINE__, "18.0.0", ApiVersion{18, 0, 0}},
      {__LINE__, "18.3.0", ApiVersion{18, 3, 0}},
      {__LINE__, "017.09.009", ApiVersion{17, 9, 9}},
      {__LINE__, "9.9.9", ApiVersion{9, 9, 9}},
      {__LINE__, "4294967295.0.1", ApiVersion{4294967295u, 0, 1}},
      {__LINE__, "18.0.7-rc.1", ApiVersion{18, 0, 7}},
      {__LINE__, "18.0.7+build.5", ApiVersion{18, 0, 7}},
      {__LINE__, "18.0.7-rc.1+build.5", ApiVersion{18, 0, 7}},
      {__LINE__, "4294967296.0.0", std::nullopt},
      {__LINE__, "18.0", std::nullopt},
      {__LINE__, "18.0.", std::nullopt},
      {__LINE__, "18..0", std::nullopt},
      {__LINE__, "18.0.0.0", std::nullopt},
      {__LINE__, ".18.0.0", std::nullopt},
      {__LINE__, "18.0.0-", std::nullopt},
      {__LINE__, "18.0.x", std::nullopt},
      {__LINE__, " 18.0.0", std::nullopt},
      {__LINE__, "18.+1.0", std::nullopt},
      {__LINE__, "", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.text);
    std::optional<ApiVersion> parsed = parseApiVersion(row.text);
    ASSERT_EQ(parsed.has_value(), row.expected.has_value());
    if (parsed) {
      EXPECT_EQ(*parsed, *row.expected);
    }
  }
}

TEST(ApiVersionTest, TextIsThreeDecimalNumbers) {
  EXPECT_EQ(ApiVersion({4294967295u, 0, 17}).text(), "4294967295.0.17");
  EXPECT_EQ(kDefaultHostVersion.text(), "18.0.0");
}

}  // namespace
}  // namespace zel::host
