// Percent-decoding of path captures and query pieces.
#include "api/internal/percent_decoding.h"

#include <gtest/gtest.h>

#include <string>

namespace zel {
namespace {

using api::internal::appendPercentDecoded;
using api::internal::percentDecode;

TEST(PercentDecoding, EscapesPlusesAndMalformedSequences) {
  const struct {
    int line;
    std::string input;
    std::string decoded;
  } rows[] = {
      {__LINE__, "a%20b+c", "a b c"},
      {__LINE__, "%41%62%7e%7E", "Ab~~"},
      {__LINE__, "100%", "100"},
      {__LINE__, "50%4", "504"},
      {__LINE__, "%", ""},
      {__LINE__, "%%41", "%%41"},
      {__LINE__, "%zz1", "%zz1"},
      {__LINE__, "%2", "2"},
      {__LINE__, "%00x", std::string("\0x", 2)},
      {__LINE__, "%e2%82%ac", "\xe2\x82\xac"},
      {__LINE__, "++", "  "},
      {__LINE__, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(percentDecode(row.input), row.decoded);
  }
}

TEST(PercentDecoding, AppendsToWhatIsThere) {
  std::string out = "q=";
  appendPercentDecoded(out, "a+b");
  EXPECT_EQ(out, "q=a b");
}

}  // namespace
}  // namespace zel
