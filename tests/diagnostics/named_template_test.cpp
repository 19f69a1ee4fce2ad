// Brace templates: compiling to numbered templates, the field map, type
// suffixes, alternatives, silent placeholders and printf directives.
#include "diagnostics/named_template.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/format.h"

namespace zel {
namespace {

struct Row {
  int line;
  const char* tmpl;
  std::vector<LogField> values;
  std::string compiled;
  FieldMap fields;
};

TEST(CompileNamedTemplate, CompilesPlaceholdersAndFillsFields) {
  const Row rows[] = {
      {__LINE__,
       "Error converting response for {method} {url}: {error}",
       {LogField("GET"), LogField("/x"), LogField("bad")},
       "Error converting response for %1 %2: %3",
       {{"method", LogField("GET")}, {"url", LogField("/x")}, {"error", LogField("bad")}}},
      {__LINE__, "{#count}", {LogField(3)}, "%1", {{"count_int", LogField(3)}}},
      {__LINE__, "{#count_int}", {LogField(3)}, "%1", {{"count_int", LogField(3)}}},
      {__LINE__, "{#size_long}", {LogField(3)}, "%1", {{"size_long", LogField(3)}}},
      {__LINE__, "{#a_b}", {LogField(true)}, "%1", {{"a_b_bool", LogField(true)}}},
      {__LINE__, "{#ratio}", {LogField(0.5)}, "%1", {{"ratio_float", LogField(0.5)}}},
      {__LINE__, "{#name}", {LogField("n")}, "%1", {{"name_str", LogField("n")}}},
      {__LINE__,
       "{#id}",
       {LogField(std::uint64_t{7})},
       "%1",
       {{"id_int", LogField(std::uint64_t{7})}}},
      {__LINE__, "{flag?none}", {LogField(false)}, "none", {}},
      {__LINE__, "{flag?none}", {LogField(true)}, "%1", {{"flag", LogField(true)}}},
      {__LINE__, "[{n?zero}]", {LogField(0)}, "[zero]", {}},
      {__LINE__, "[{s?empty}]", {LogField("")}, "[empty]", {}},
      {__LINE__, "[{d?nil}]", {LogField(0.0)}, "[nil]", {}},
      // An unsigned value whose bits are those of -0.0 is not zero.
      {__LINE__,
       "[{u?zero}]",
       {LogField(std::uint64_t{1} << 63)},
       "[%1]",
       {{"u", LogField(std::uint64_t{1} << 63)}}},
      // A '%' in the alternative stays literal text.
      {__LINE__, "{p?100%}", {LogField(0)}, "100%%", {}},
      {__LINE__, "a {x!}", {LogField("v")}, "a", {{"x", LogField("v")}}},
      {__LINE__, "a \t{x!} b", {LogField(1)}, "a b", {{"x", LogField(1)}}},
      {__LINE__, "{size:08x}", {LogField(255)}, "%1$08x", {{"size", LogField(255)}}},
      {__LINE__,
       "{a} {b} {size:08x}",
       {LogField(1), LogField(2), LogField(3)},
       "%1 %2 %3$08x",
       {{"a", LogField(1)}, {"b", LogField(2)}, {"size", LogField(3)}}},
      {__LINE__, "{v?none:5d}", {LogField(0)}, "none", {}},
      {__LINE__, "{v?none:5d}", {LogField(4)}, "%1$5d", {{"v", LogField(4)}}},
      {__LINE__, "{a\\}b}", {LogField(1)}, "%1", {{"a}b", LogField(1)}}},
      {__LINE__, "{a{b}", {LogField(1)}, "%1", {{"ab", LogField(1)}}},
      {__LINE__, "{{x}} }", {}, "{x} }", {}},
      {__LINE__, "{}", {LogField(1)}, "%1", {}},
      // Placeholders beyond the values given are dropped.
      {__LINE__, "{a} {b}", {LogField(1)}, "%1 ", {{"a", LogField(1)}}},
      // An unclosed placeholder writes nothing.
      {__LINE__, "x {a", {LogField(1)}, "x ", {}},
      // A printf directive takes a number but adds no field.
      {__LINE__, "%d {a} 50%%", {LogField(1), LogField(2)}, "%d %2 50%%", {{"a", LogField(2)}}},
      {__LINE__, "{a}7", {LogField(1)}, "%17", {{"a", LogField(1)}}},
      // A later placeholder of the same name replaces the earlier value.
      {__LINE__, "{a}{a}", {LogField(1), LogField(2)}, "%1%2", {{"a", LogField(2)}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    FieldMap fields;
    EXPECT_EQ(compileNamedTemplate(row.tmpl, row.values.data(), row.values.size(), fields),
              row.compiled);
    EXPECT_EQ(fields, row.fields);
  }
}

TEST(CompileNamedTemplate, ExistingFieldsAreReplacedOthersKept) {
  FieldMap fields{{"url", LogField("/old")}, {"keep", LogField(1)}};
  const LogField values[] = {LogField("/new")};
  EXPECT_EQ(compileNamedTemplate("{url}", values, 1, fields), "%1");
  EXPECT_EQ(fields.at("url"), LogField("/new"));
  EXPECT_EQ(fields.at("keep"), LogField(1));
}

TEST(FormatNamed, CompilesThenFormatsWithTheSameArguments) {
  FieldMap fields;
  EXPECT_EQ(formatNamed("Error converting response for {method} {url}: {error}", fields, "GET",
                        std::string("/x"), std::string_view("bad")),
            "Error converting response for GET /x: bad");
  EXPECT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields.at("url"), LogField("/x"));

  fields.clear();
  EXPECT_EQ(formatNamed("{size:08x} after {#count}", fields, 255, std::int64_t{-2}),
            "000000ff after -2");
  EXPECT_EQ(fields.at("count_int"), LogField(std::int64_t{-2}));

  // "{a}7" merges into "%17": with one argument, 17 is read as a width.
  fields.clear();
  EXPECT_EQ(formatNamed("{a}7", fields, "x"), "x");

  fields.clear();
  EXPECT_EQ(formatNamed("nothing to fill", fields), "nothing to fill");

  fields.clear();
  EXPECT_EQ(formatNamed("a {x!} {y?-}", fields, 1, 0), "a -");
  EXPECT_EQ(fields.count("x"), 1u);
  EXPECT_EQ(fields.count("y"), 0u);
}

}  // namespace
}  // namespace zel
