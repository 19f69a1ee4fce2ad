// URL templates of routes: how a declared template is stored, and how it
// becomes a regular-expression pattern with its list of placeholders.
//
//   RoutePatternText p = templateToPattern("/zel-maps/v2/map/{id}/{gameMode}");
//   p.pattern;          // "/zel-maps/v2/map/([^/]*)/([^/]*)"
//   p.placeholders;     // {Plain, "id"}, {Plain, "gameMode"}
//
// "{name}" captures up to the next "/", "{+name}" captures across slashes and
// "{#name}" requires a literal "#" before its capture; every other character
// is matched literally. No other template syntax exists. Results are owned.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zel {

enum class PlaceholderOperator : std::uint8_t {
  None = 0,      // a "}" outside braces (an unbalanced template)
  Plain = 1,     // {name}
  Reserved = 2,  // {+name}
  Fragment = 3,  // {#name}
};

struct Placeholder {
  PlaceholderOperator op;
  std::string name;

  friend bool operator==(const Placeholder&, const Placeholder&) = default;
};

struct RoutePatternText {
  std::string pattern;
  std::vector<Placeholder> placeholders;  // in template order
};

// The template as a route keeps it: one trailing "/" is removed when the
// template is longer than one character ("/" stays, "/a//" keeps one "/").
[[nodiscard]] std::string storedTemplate(std::string_view urlTemplate);

// True when the template has a placeholder (a "{" anywhere), so that it needs
// a pattern; otherwise it is matched as an exact path.
[[nodiscard]] bool templateHasPlaceholders(std::string_view urlTemplate) noexcept;

// The regular expression (ECMAScript grammar) matching the template, with
// every special character outside braces escaped, and its placeholders.
[[nodiscard]] RoutePatternText templateToPattern(std::string_view urlTemplate);

}  // namespace zel
