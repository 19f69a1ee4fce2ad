#include "api/function_name.h"

#include <cctype>

#include "api/messages.h"
#include "diagnostics/format.h"

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

std::string functionName(HttpMethod method, std::string_view urlTemplate) {
  const std::string_view name = httpMethodName(method);
  if (name.empty()) return deriveName("", urlTemplate);
  std::string rest(name.substr(1));
  for (char& c : rest) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return deriveName(formatPositional(api::messages::kMethodPrefix, name.front(), rest),
                    urlTemplate);
}

}  // namespace zel
