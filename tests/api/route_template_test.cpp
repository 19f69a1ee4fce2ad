// Stored templates and the regular-expression patterns made from them.
#include "api/route_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zel {
namespace {

TEST(RouteTemplate, OneTrailingSlashIsRemoved) {
  const struct {
    int line;
    const char* input;
    const char* stored;
  } rows[] = {
      {__LINE__, "/zel-maps/v1/maps/", "/zel-maps/v1/maps"},
      {__LINE__, "/", "/"},
      {__LINE__, "/a//", "/a/"},
      {__LINE__, "", ""},
      {__LINE__, "/a", "/a"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(storedTemplate(row.input), row.stored);
  }
}

TEST(RouteTemplate, PatternsEscapeEverySpecialCharacterAndCaptureEachPlaceholder) {
  using Op = PlaceholderOperator;
  const struct {
    int line;
    const char* input;
    const char* pattern;
    std::vector<Placeholder> placeholders;
  } rows[] = {
      {__LINE__,
       "/zel-maps/v2/map/{id}/{gameMode}",
       "/zel-maps/v2/map/([^/]*)/([^/]*)",
       {{Op::Plain, "id"}, {Op::Plain, "gameMode"}}},
      {__LINE__, "/a.{x}", "/a\\.([^/]*)", {{Op::Plain, "x"}}},
      {__LINE__, "/f{+path}", "/f(.*)", {{Op::Reserved, "path"}}},
      {__LINE__, "/d{#frag}", "/d#(.*)", {{Op::Fragment, "frag"}}},
      {__LINE__,
       "^$.*+?()[]|\\{x}",
       "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\([^/]*)",
       {{Op::Plain, "x"}}},
      // Only the first character inside braces selects an operator; commas,
      // modifiers and defaults are part of the name.
      {__LINE__, "/{a+b}", "/([^/]*)", {{Op::Plain, "a+b"}}},
      {__LINE__, "/{x,y:3}", "/([^/]*)", {{Op::Plain, "x,y:3"}}},
      {__LINE__, "/{+#x}", "/(.*)", {{Op::Reserved, "#x"}}},
      // Unbalanced braces: a "}" outside a placeholder writes nothing but is
      // listed; a second "{" restarts the state and keeps the name.
      {__LINE__, "/a}b", "/ab", {{Op::None, ""}}},
      {__LINE__, "/{a{b}", "/([^/]*)", {{Op::Plain, "ab"}}},
      {__LINE__, "/{x", "/", {}},
      {__LINE__, "/plain", "/plain", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const RoutePatternText text = templateToPattern(row.input);
    EXPECT_EQ(text.pattern, row.pattern);
    EXPECT_EQ(text.placeholders, row.placeholders);
  }
}

TEST(RouteTemplate, OnlyABraceMakesAPattern) {
  EXPECT_TRUE(templateHasPlaceholders("/a/{id}"));
  EXPECT_TRUE(templateHasPlaceholders("{"));
  EXPECT_FALSE(templateHasPlaceholders("/a."));
  EXPECT_FALSE(templateHasPlaceholders("/a}"));
}

}  // namespace
}  // namespace zel
