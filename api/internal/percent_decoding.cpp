#include "api/internal/percent_decoding.h"

namespace zel::api::internal {
namespace {

// The value of a hexadecimal digit, or -1.
int hexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void appendPercentDecoded(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size());
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c != '%') {
      out += c;
    } else if (size - i > 2) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
      } else {
        // Not an escape: the three characters stay as they came, so no stray
        // byte (a NUL above all) is made up from them.
        out.append(text.substr(i, 3));
      }
      i += 2;
    }
    // A "%" with fewer than two characters after it is dropped.
  }
}

std::string percentDecode(std::string_view text) {
  std::string out;
  appendPercentDecoded(out, text);
  return out;
}

}  // namespace zel::api::internal
