// The matcher of templates with placeholders: whole-path matching, decoded
// captures, and the same answers as the ECMAScript regular expression of the
// template, for paths of any length.
#include "api/internal/path_pattern.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "api/internal/pattern_engine.h"
#include "api/route_template.h"

namespace zel {
namespace {

using api::internal::PathArguments;
using api::internal::PathPattern;

using Arguments = std::vector<std::pair<std::string, std::string>>;

Arguments sorted(const PathArguments& arguments) {
  Arguments out(arguments.begin(), arguments.end());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(PathPattern, MatchesWholePathsAndDecodesCaptures) {
  const struct {
    int line;
    const char* urlTemplate;
    const char* path;
    bool matches;
    Arguments arguments;
  } rows[] = {
      {__LINE__, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/42", true, {{"id", "42"}}},
      // Placeholders stop only at "/", and the query belongs to the path.
      {__LINE__, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/42?x=1", true, {{"id", "42?x=1"}}},
      {__LINE__, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/", true, {{"id", ""}}},
      {__LINE__, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map/4/2", false, {}},
      {__LINE__, "/zel-maps/v1/map/{id}", "/zel-maps/v1/map", false, {}},
      {__LINE__, "/zel-maps/v1/map/{id}", "x/zel-maps/v1/map/4", false, {}},
      {__LINE__,
       "/zel-maps/v2/map/{id}/{gameMode}",
       "/zel-maps/v2/map/42/MODE_A",
       true,
       {{"gameMode", "MODE_A"}, {"id", "42"}}},
      {__LINE__, "/m/{id}", "/m/a%20b+c", true, {{"id", "a b c"}}},
      {__LINE__, "/m/{id}", "/m/50%", true, {{"id", "50"}}},
      {__LINE__, "/m/{id}", "/m/50%4", true, {{"id", "504"}}},
      {__LINE__, "/m/{id}", "/m/a%2Fb", true, {{"id", "a/b"}}},
      {__LINE__, "/a.{x}", "/a.json", true, {{"x", "json"}}},
      {__LINE__, "/a.{x}", "/abjson", false, {}},
      {__LINE__, "/f{+path}", "/f/a/b?c", true, {{"path", "/a/b?c"}}},
      {__LINE__, "/f{+path}", "/f", true, {{"path", ""}}},
      {__LINE__, "/d{#part}", "/d#x/y", true, {{"part", "x/y"}}},
      {__LINE__, "/d{#part}", "/dx", false, {}},
      // "." stops at line ends, as in the regular expression.
      {__LINE__, "/f{+path}", "/f/a\nb", false, {}},
      {__LINE__, "/m/{id}", "/m/a\nb", true, {{"id", "a\nb"}}},
      // A later placeholder of the same name wins.
      {__LINE__, "/{a}/{a}", "/1/2", true, {{"a", "2"}}},
      // Greedy from the left: the first group takes all it can.
      {__LINE__, "/{+a}/{b}", "/x/y/z", true, {{"a", "x/y"}, {"b", "z"}}},
      {__LINE__, "/{+a}{+b}", "/xyz", true, {{"a", "xyz"}, {"b", ""}}},
      {__LINE__, "/{a}-{b}", "/x-y-z", true, {{"a", "x-y"}, {"b", "z"}}},
      {__LINE__, "/{a}-{b}", "/x/-y", false, {}},
      {__LINE__, "/{+a}-{b}", "/x-y-z", true, {{"a", "x-y"}, {"b", "z"}}},
      {__LINE__,
       "/{a}/{b}/{c}/{d}/{e}/{f}/{g}/{h}/{i}",
       "/1/2/3/4/5/6/7/8/9",
       true,
       {{"a", "1"},
        {"b", "2"},
        {"c", "3"},
        {"d", "4"},
        {"e", "5"},
        {"f", "6"},
        {"g", "7"},
        {"h", "8"},
        {"i", "9"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    PathArguments arguments;
    EXPECT_EQ(PathPattern::compile(row.urlTemplate)->match(row.path, arguments), row.matches);
    if (row.matches) {
      EXPECT_EQ(sorted(arguments), row.arguments);
    }
  }
}

// The engine against the standard library's ECMAScript regular expressions,
// over every template and path made of a few significant pieces.
TEST(PathPattern, AgreesWithTheRegularExpressionOfTheTemplate) {
  const std::vector<std::string> templates = {"/a/{x}",   "/{x}/{y}",   "/{+x}",     "/{+x}/{y}",
                                              "/{x}.{y}", "/{#x}",      "/a{+x}b",   "/{x}{+y}",
                                              "/$.{x}(",  "/{+x}-{+y}", "/v[1]/{x}?"};
  const std::vector<std::string> pieces = {"", "/", "a", "b", "-", ".", "#", "\n", "$.", "?", "("};
  std::vector<std::string> paths = {""};
  for (int length = 0; length < 3; ++length) {
    const std::size_t count = paths.size();
    for (std::size_t i = 0; i < count; ++i) {
      for (const std::string& piece : pieces) paths.push_back(paths[i] + piece);
    }
  }
  for (const std::string& urlTemplate : templates) {
    const RoutePatternText text = templateToPattern(urlTemplate);
    const std::regex regex(text.pattern, std::regex::ECMAScript | std::regex::optimize);
    const api::internal::PatternEngine engine(text.pattern);
    for (const std::string& tail : paths) {
      const std::string path = "/" + tail;
      SCOPED_TRACE(urlTemplate + " " + path);
      std::smatch expected;
      const bool regexMatched = std::regex_match(path, expected, regex);
      std::vector<api::internal::PatternCapture> captures(engine.groupCount());
      ASSERT_EQ(engine.fullMatch(path, captures), regexMatched);
      if (!regexMatched) continue;
      ASSERT_EQ(captures.size() + 1, expected.size());
      for (std::size_t i = 0; i < captures.size(); ++i) {
        EXPECT_EQ(captures[i].text, expected[i + 1].str());
        EXPECT_EQ(captures[i].matched, expected[i + 1].matched);
      }
    }
  }
}

TEST(PathPattern, LongPathsAreMatchedWithoutDeepRecursion) {
  const std::string longTail(2'000'000, 'a');
  PathArguments arguments;
  EXPECT_TRUE(PathPattern::compile("/m/{id}")->match("/m/" + longTail, arguments));
  EXPECT_EQ(arguments["id"].size(), longTail.size());
  EXPECT_TRUE(PathPattern::compile("/f{+rest}")->match("/f/" + longTail, arguments));
  EXPECT_FALSE(PathPattern::compile("/m/{id}")->match("/m/" + longTail + "/", arguments));
}

}  // namespace
}  // namespace zel
