// The positional formatter: numbered and POSIX placeholders, printf
// directives checked against the argument types, "*" fields, and the
// 4095-character limit.
#include "diagnostics/format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "diagnostics/internal/format_arguments.h"

namespace zel {
namespace {

struct Version {
  int major;
  int minor;
  std::string toString() const { return formatPositional("%1.%2", major, minor); }
};

enum class Colour : std::uint8_t { kRed = 3 };

struct Row {
  int line;
  std::string actual;
  std::string expected;
};

void expectRows(std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(FormatPositional, NumberedPlaceholders) {
  const std::int64_t minusFive = -5;
  // Each kind of text argument is read within its own bounds.
  const char unterminated[3] = {'a', 'b', 'c'};
  char writable[] = "w";
  char* mutableText = writable;
  expectRows({
      {__LINE__, formatPositional(""), ""},
      {__LINE__, formatPositional("100%%"), "100%"},
      {__LINE__, formatPositional("%%d%%%d", 5), "%d%5"},
      {__LINE__,
       formatPositional(
           "Couldn't assign value to '%1' of type map because the input not a structure.",
           "<value>"),
       "Couldn't assign value to '<value>' of type map because the input not a structure."},
      {__LINE__, formatPositional("%2 %1", "a", "b"), "b a"},
      {__LINE__, formatPositional("%1 %1", std::string("x")), "x x"},
      {__LINE__, formatPositional("No map with id %lld", minusFive), "No map with id -5"},
      {__LINE__, formatPositional("%1", minusFive), "-5"},
      {__LINE__, formatPositional("%1", std::uint64_t{18446744073709551615u}),
       "18446744073709551615"},
      {__LINE__, formatPositional("%1", std::int64_t{-9000000000}), "-9000000000"},
      {__LINE__, formatPositional("%1", 0.5), "0.5"},
      {__LINE__, formatPositional("%1", 2.5f), "2.5"},
      {__LINE__, formatPositional("%1", 'z'), "z"},
      {__LINE__, formatPositional("%1", std::uint8_t{200}), "200"},
      {__LINE__, formatPositional("%1", std::int8_t{-3}), "-3"},
      {__LINE__, formatPositional("%1", true), "1"},
      {__LINE__, formatPositional("%1", Colour::kRed), "3"},
      {__LINE__, formatPositional("%1.%2.%3", 18u, 0, std::size_t{7}), "18.0.7"},
      {__LINE__, formatPositional("v%1", Version{18, 3}), "v18.3"},
      {__LINE__, formatPositional("[%1]", std::string_view("abcdef").substr(1, 3)), "[bcd]"},
      {__LINE__, formatPositional("%1", static_cast<const char*>(nullptr)), "(null)"},
      {__LINE__, formatPositional("[%1]", unterminated), "[abc]"},
      {__LINE__, formatPositional("%1 %2", mutableText, static_cast<char*>(nullptr)), "w (null)"},
      // A number that names no argument is read as a width; the last digit then
      // stands as the conversion and gives way to the default one.
      {__LINE__, formatPositional("%2", "a"), "a"},
      {__LINE__, formatPositional("%25", "a"), " a"},
      {__LINE__, formatPositional("%25|", "a"), std::string(24, ' ') + "a"},
      // "%1" ends where its digits end: a letter after it is plain text.
      {__LINE__, formatPositional("%1d", 4), "4d"},
      // "{a}7" as first placeholder compiles to "%17": argument 17 with enough
      // arguments, a width of 17 (cut to 1 by the conversion rule) otherwise.
      {__LINE__, formatPositional("%17", "x"), "x"},
  });
}

TEST(FormatPositional, PosixAndSequentialDirectives) {
  expectRows({
      {__LINE__, formatPositional("%2$s-%1$s", "a", "b"), "b-a"},
      {__LINE__, formatPositional("%2$05d|%1$-4s|", "ab", 42), "00042|ab  |"},
      {__LINE__, formatPositional("%s %s %s", "a", "b"), "a b "},
      {__LINE__, formatPositional("%d/%x/%o/%X", 10, 255u, 8, 171), "10/ff/10/AB"},
      {__LINE__, formatPositional("%+.2f %e", 3.14159, 1500.0), "+3.14 1.500000e+03"},
      {__LINE__, formatPositional("%1$s %s", "a", "b"), "a a"},
      {__LINE__, formatPositional("%.3s|", "abcdef"), "abc|"},
      {__LINE__, formatPositional("%c%c", 'o', 107), "ok"},
      {__LINE__, formatPositional("%#x %#o", 255, 8), "0xff 010"},
      {__LINE__, formatPositional("%a", 1.0), "0x1p+0"},
  });
}

TEST(FormatPositional, ConversionsCheckedAgainstTheArgumentType) {
  const std::int64_t big = 5000000000;
  const std::uint64_t huge = 18446744073709551615u;
  expectRows({
      {__LINE__, formatPositional("%d", "text"), "text"},
      {__LINE__, formatPositional("%5d|", "ab"), "   ab|"},
      {__LINE__, formatPositional("%s", 42), "42"},
      {__LINE__, formatPositional("%f", 7), "7"},
      {__LINE__, formatPositional("%d", 2.5), "2.5"},
      {__LINE__, formatPositional("%n|", 7), "7|"},
      // The length modifier is always the argument's own.
      {__LINE__, formatPositional("%d", big), "5000000000"},
      {__LINE__, formatPositional("%lld", 12), "12"},
      {__LINE__, formatPositional("%ld", big), "5000000000"},
      {__LINE__, formatPositional("%llu", huge), "18446744073709551615"},
      {__LINE__, formatPositional("%Lf", 1.5), "1.500000"},
      {__LINE__, formatPositional("%ls", "wide?"), "wide?"},
      {__LINE__, formatPositional("%zu", std::size_t{9}), "9"},
      // Narrowing the template asks for is kept: printf narrows an int safely.
      {__LINE__, formatPositional("%hhu", 300), "44"},
      {__LINE__, formatPositional("%hd", 65537), "1"},
      {__LINE__, formatPositional("%d", 'A'), "65"},
      {__LINE__, formatPositional("%u", -1), "4294967295"},
      {__LINE__, formatPositional("%hd|%hhd|%hx", std::int64_t{65537}, -129, -1), "1|127|ffff"},
      {__LINE__, formatPositional("%u", std::int64_t{-1}), "18446744073709551615"},
      // Signed values: the sign, the extremes, and the flags around the sign.
      {__LINE__, formatPositional("%i|%i", -5, std::int64_t{-9000000000}), "-5|-9000000000"},
      {__LINE__, formatPositional("%d %d", INT32_MIN, INT64_MIN),
       "-2147483648 -9223372036854775808"},
      {__LINE__, formatPositional("%+i|%i", INT64_MIN, INT64_MIN),
       "-9223372036854775808|-9223372036854775808"},
      {__LINE__, formatPositional("%+d|% d|%+d|% d|% +d", 5, 5, -5, -5, 5), "+5| 5|-5|-5|+5"},
      {__LINE__, formatPositional("%05d|%-05d|%+05d|% 05d", -42, -42, 42, 42),
       "-0042|-42  |+0042| 0042"},
      {__LINE__, formatPositional("%+.3d|%8.3d|%08.3d", -7, -7, -7), "-007|    -007|    -007"},
      {__LINE__, formatPositional("%x|%x|%o|%X", -1, std::int64_t{-1}, -8, -171),
       "ffffffff|ffffffffffffffff|37777777770|FFFFFF55"},
  });
}

TEST(FormatPositional, StarFields) {
  expectRows({
      {__LINE__, formatPositional("%*d|", 5, 42), "   42|"},
      {__LINE__, formatPositional("%-*d|", 4, 7), "7   |"},
      {__LINE__, formatPositional("%*d|", -4, 7), "7   |"},
      {__LINE__, formatPositional("%.*s|", 2, "abcdef"), "ab|"},
      {__LINE__, formatPositional("%*.*f|", 8, 2, 3.14159), "    3.14|"},
      {__LINE__, formatPositional("%3$*1$.*2$f|", 7, 1, 2.25), "    2.2|"},
      {__LINE__, formatPositional("%*s|", std::int64_t{3}, "x"), "  x|"},
      {__LINE__, formatPositional("%*s|", 'A' - 62, "x"), "  x|"},
      {__LINE__, formatPositional("%*s|%.*s|", '\3', "x", Colour::kRed, "abcd"), "  x|abc|"},
      {__LINE__, formatPositional("%*d|%.*d|", -6, -5, -1, -5), "-5    |-5|"},
      // A "*" may take the last argument.
      {__LINE__, formatPositional("%1$*2$d|", 7, 3), "  7|"},
      {__LINE__, formatPositional("%1$.*2$d|", -7, 3), "-007|"},
      // A "*" that no integer can serve ends the text.
      {__LINE__, formatPositional("ab%*d", "3", 4), "ab"},
      {__LINE__, formatPositional("ab%*d", 2.0, 4), "ab"},
      {__LINE__, formatPositional("ab%*d", 3), "ab"},
      {__LINE__, formatPositional("ab%*0$d", 3, 4), "ab"},
  });
}

TEST(FormatPositional, EndsWhereADirectiveCannotBeServed) {
  expectRows({
      // "%3" names no argument: a width of 3 with the blank as conversion.
      {__LINE__, formatPositional("a %3 b", 1, 2), "a   1b"},
      {__LINE__, formatPositional("x%3$s", "a"), "x  as"},
      {__LINE__, formatPositional("x%"), "x"},
      {__LINE__, formatPositional("x%s"), "x"},
      // A directive may hold 59 characters, not 60.
      {__LINE__, formatPositional(("[%." + std::string(55, '0') + "5d]").c_str(), 1), "[00001]"},
      {__LINE__, formatPositional(("[%." + std::string(56, '0') + "5d]").c_str(), 1), "["},
  });
}

TEST(FormatPositional, OutputIsCutAt4095Characters) {
  const std::string longTemplate(5000, 'x');
  EXPECT_EQ(formatPositional(longTemplate.c_str()), std::string(4095, 'x'));

  const std::string longText(5000, 'y');
  const std::string cut = formatPositional("ab%1cd", longText);
  ASSERT_EQ(cut.size(), 4095u);
  EXPECT_EQ(cut.substr(0, 3), "aby");
  EXPECT_EQ(cut.back(), 'y');

  // Huge widths and precisions only fill the buffer.
  EXPECT_EQ(formatPositional("%999999999d", 1), std::string(4095, ' '));
  EXPECT_EQ(formatPositional("%.999999999f", 1.0), "1." + std::string(4093, '0'));
  EXPECT_EQ(formatPositional("%*d", 2147483647, 1), std::string(4095, ' '));
  EXPECT_EQ(formatPositional("%.*s", -1, "abc"), "abc");
  EXPECT_EQ(formatPositional("%*d|", INT32_MIN, 1), "1" + std::string(4094, ' '));
  EXPECT_EQ(formatPositional("%9999999999999999999d|", 1), std::string(4095, ' '));

  // Text right up to the edge: a directive that no longer fits stops the output.
  const std::string edge = std::string(4094, 'e') + "%1";
  EXPECT_EQ(formatPositional(edge.c_str(), 12345), std::string(4094, 'e') + "1");
}

// formatInto itself: the capacity counts the terminator; nothing is written
// without a buffer or without room.
std::string formatIntoBuffer(std::size_t capacity, const char* tmpl) {
  char buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
  const std::size_t length =
      diagnostics::internal::formatInto(buffer, capacity, tmpl, nullptr, nullptr, 0);
  std::string shown(buffer, sizeof buffer);
  for (char& c : shown) {
    if (c == '\0') c = '_';
  }
  return std::to_string(length) + ":" + shown;
}

TEST(FormatPositional, FormatIntoKeepsToItsCapacity) {
  expectRows({
      {__LINE__, formatIntoBuffer(0, "abc"), "0:########"},
      {__LINE__, formatIntoBuffer(1, "abc"), "0:_#######"},
      {__LINE__, formatIntoBuffer(3, "abc"), "2:ab_#####"},
      {__LINE__, formatIntoBuffer(4, "a%%c"), "3:a%c_####"},
  });
  EXPECT_EQ(diagnostics::internal::formatInto(nullptr, 8, "abc", nullptr, nullptr, 0), 0u);
}

}  // namespace
}  // namespace zel
