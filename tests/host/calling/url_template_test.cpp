#include "host/calling/url_template.h"

#include <gtest/gtest.h>

#include <string_view>

namespace zel::host {
namespace {

// The first piece of a template and what is left of it. Only "+" and "#"
// are operators: any other first character is the name's own.
TEST(UrlTemplateTest, TakesTheFirstPieceWithItsOperatorAndName) {
  struct Row {
    int line;
    std::string_view urlTemplate;
    std::string_view text;
    bool placeholder;
    char op;
    std::string_view name;
    std::string_view rest;
  };
  const Row rows[] = {
      {__LINE__, "/map/{id}", "/map/", false, 0, "", "{id}"},
      {__LINE__, "{id}/x", "{id}", true, 0, "id", "/x"},
      {__LINE__, "{+query}", "{+query}", true, '+', "query", ""},
      {__LINE__, "{#part}.json", "{#part}", true, '#', "part", ".json"},
      {__LINE__, "{?q}", "{?q}", true, 0, "?q", ""},
      {__LINE__, "{/path}", "{/path}", true, 0, "/path", ""},
      {__LINE__, "{.ext}", "{.ext}", true, 0, ".ext", ""},
      {__LINE__, "{;p}{&q}", "{;p}", true, 0, ";p", "{&q}"},
      {__LINE__, "{*x}", "{*x}", true, 0, "*x", ""},
      {__LINE__, "{,x}", "{,x}", true, 0, ",x", ""},
      {__LINE__, "{x+}", "{x+}", true, 0, "x+", ""},
      {__LINE__, "{++x}", "{++x}", true, '+', "+x", ""},
      {__LINE__, "{+}", "{+}", true, '+', "", ""},
      {__LINE__, "{#}", "{#}", true, '#', "", ""},
      {__LINE__, "{}", "{}", true, 0, "", ""},
      {__LINE__, "{a}{b}", "{a}", true, 0, "a", "{b}"},
      {__LINE__, "x{", "x{", false, 0, "", ""},
      {__LINE__, "a}{b", "a}{b", false, 0, "", ""},
      {__LINE__, "{a{b}c", "{a{b}", true, 0, "a{b", "c"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "line " << row.line << ": " << row.urlTemplate);
    std::string_view rest = row.urlTemplate;
    const TemplatePiece piece = takeTemplatePiece(rest);
    EXPECT_EQ(piece.text, row.text);
    EXPECT_EQ(piece.placeholder, row.placeholder);
    EXPECT_EQ(piece.op, row.op);
    EXPECT_EQ(piece.name, row.name);
    EXPECT_EQ(rest, row.rest);
    EXPECT_EQ(hasPlaceholder(row.urlTemplate), row.placeholder || hasPlaceholder(row.rest));
  }
}

}  // namespace
}  // namespace zel::host
