#include "host/conversions/text_template.h"

namespace zel::host {

std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string text;
  text.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      text += c;
      continue;
    }
    char next = pattern[i + 1];
    if (next == '%') {
      text += '%';
      ++i;
    } else if (next >= '1' && next <= '9') {
      std::size_t index = static_cast<std::size_t>(next - '1');
      if (index < args.size()) text += args.begin()[index];
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace zel::host
