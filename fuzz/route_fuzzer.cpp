// Route templates, percent-decoding and matching. Input: a template, a NUL,
// then a path. Any template must compile, any path must match or not; a
// template without braces must match its own text. (A lone "}" is an
// unbalanced placeholder and makes a group, so it does not count as literal.)
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "api/internal/path_pattern.h"
#include "api/internal/percent_decoding.h"
#include "api/route_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view urlTemplate = input.substr(0, split);
  const std::string_view path =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  static_cast<void>(zel::storedTemplate(urlTemplate));
  const zel::RoutePatternText text = zel::templateToPattern(urlTemplate);
  const std::shared_ptr<const zel::api::internal::PathPattern> pattern =
      zel::api::internal::PathPattern::compile(urlTemplate);
  if (pattern == nullptr) __builtin_trap();

  zel::api::internal::PathArguments arguments;
  if (pattern->match(path, arguments)) {
    // Every capture is stored under a placeholder's name.
    for (const auto& [name, value] : arguments) {
      bool known = false;
      for (const zel::Placeholder& placeholder : text.placeholders)
        known |= placeholder.name == name;
      if (!known) __builtin_trap();
    }
  }
  if (!zel::templateHasPlaceholders(urlTemplate) &&
      urlTemplate.find('}') == std::string_view::npos) {
    zel::api::internal::PathArguments none;
    if (!pattern->match(urlTemplate, none) || !none.empty()) __builtin_trap();
  }

  // Decoding never grows the text.
  if (zel::api::internal::percentDecode(path).size() > path.size()) __builtin_trap();
  return 0;
}
