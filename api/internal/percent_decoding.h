// Percent-decoding of path captures and of query names and values: "+"
// becomes a space and "%" with two hexadecimal digits becomes that byte.
// Malformed sequences are never reported.
//
//   percentDecode("a%20b+c");   // "a b c"
//   percentDecode("100%");      // "100"   (a "%" without two characters after it is dropped)
//
// Results are owned strings; appendPercentDecoded writes into the caller's.
#pragma once

#include <string>
#include <string_view>

namespace zel::api::internal {

[[nodiscard]] std::string percentDecode(std::string_view text);

// Appends the decoded text to out.
void appendPercentDecoded(std::string& out, std::string_view text);

}  // namespace zel::api::internal
