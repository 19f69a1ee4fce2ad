#include "api/function_name.h"

#include <cctype>

namespace zel {
namespace {

bool isWordSeparator(char c) {
  return c == '!' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_';
}

void appendWalked(std::string& out, std::string_view text, bool& capitalise) {
  for (const char c : text) {
    if (isWordSeparator(c)) {
      capitalise = true;
    } else if (c == '{') {
      out += "By";
      capitalise = true;
    } else if (c == '}') {
      // dropped; the flag stays as it is
    } else {
      out += capitalise ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
      capitalise = false;
    }
  }
}

}  // namespace

std::string deriveName(std::string_view prefix, std::string_view text) {
  std::string out;
  out.reserve(prefix.size() + text.size());
  bool capitalise = true;
  appendWalked(out, prefix, capitalise);
  appendWalked(out, text, capitalise);
  return out;
}

}  // namespace zel
