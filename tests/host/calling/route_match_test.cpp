#include "host/calling/route_match.h"

#include <gtest/gtest.h>

namespace zel::host {
namespace {

TEST(RouteMatchTest, PlaceholdersTakeOneNonEmptyPieceOfASegment) {
  struct Row {
    int line;
    const char* urlTemplate;
    const char* url;
    bool fits;
    std::uint32_t literals;
  };
  const Row rows[] = {
      {__LINE__, "/a/b", "/a/b", true, 2},
      {__LINE__, "/a/b", "/a/b?x=1&y", true, 2},
      {__LINE__, "/a/b", "/a/b#top", true, 2},
      {__LINE__, "/a/{x}", "/a/42", true, 1},
      {__LINE__, "/a/{x}", "/a/", false, 0},
      {__LINE__, "/a/{x}", "/a", false, 0},
      {__LINE__, "/a/{x}", "/a/4/2", false, 0},
      {__LINE__, "/a/{x}/{y}", "/a/4/2", true, 1},
      {__LINE__, "/a/b", "/a/b/", false, 0},
      {__LINE__, "/a/b", "/A/b", false, 0},
      {__LINE__, "/f/{name}.json", "/f/maps.json", true, 1},
      {__LINE__, "/f/{name}.json", "/f/.json", false, 0},
      {__LINE__, "/f/{a}-{b}", "/f/x-y-z", true, 1},
      {__LINE__, "/a/%25", "/a/%25", true, 2},
      {__LINE__, "/a/{x}", "/a/%%%", true, 1},
      {__LINE__, "/a", "a", false, 0},
      {__LINE__, "", "", false, 0},
      {__LINE__, "/", "/", true, 1},
      {__LINE__, "/{x", "/{x", true, 1},
      // A query-capturing placeholder fits the path with or without its query.
      {__LINE__, "/a/search{+query}", "/a/search?text=x", true, 1},
      {__LINE__, "/a/search{+query}", "/a/search", true, 1},
      {__LINE__, "/a/search{+query}", "/a/searches", true, 1},
      {__LINE__, "/a/search{+query}", "/a/sear", false, 0},
      {__LINE__, "/a/search{+query}", "/a/search/x", false, 0},
      {__LINE__, "/a/{+rest}", "/a/?x=1", true, 1},
      // A fragment placeholder takes at least one character, as a plain one.
      {__LINE__, "/a/{#part}", "/a/", false, 0},
      {__LINE__, "/a/{#part}", "/a/x", true, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << "line " << row.line << ": " << row.urlTemplate << " " << row.url);
    std::optional<RouteFit> fit = matchRoute(row.urlTemplate, row.url);
    ASSERT_EQ(fit.has_value(), row.fits);
    if (fit) {
      EXPECT_EQ(fit->literalSegments, row.literals);
    }
  }
}

}  // namespace
}  // namespace zel::host
