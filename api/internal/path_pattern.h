// PathPattern: the compiled matcher of a URL template with placeholders. It
// is built once per route and shared by every call (matching only reads it,
// so calls on several threads may use it at once).
//
//   std::shared_ptr<const PathPattern> p = PathPattern::compile("/zel-maps/v1/map/{id}");
//   PathArguments arguments;
//   p->match("/zel-maps/v1/map/42", arguments);   // true; arguments["id"] == "42"
//
// The whole path must match. Captures are percent-decoded before they are
// stored; a later placeholder of the same name overwrites an earlier one.
// The pattern is the ECMAScript regular expression of templateToPattern
// (api/route_template.h); the engine that matches it, kept out of sight in
// api/internal/, is an iterative matcher of exactly those expressions, safe
// for paths of any length.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "api/route_template.h"

namespace zel::api::internal {

// Decoded values of a route's placeholders, by placeholder name.
using PathArguments = std::unordered_map<std::string, std::string>;

class PatternEngine;

class PathPattern {
 public:
  // Compiles the template's pattern (the process's current locale applies).
  // Every template gives a valid pattern.
  [[nodiscard]] static std::shared_ptr<const PathPattern> compile(std::string_view urlTemplate);

  ~PathPattern();
  PathPattern(const PathPattern&) = delete;
  PathPattern& operator=(const PathPattern&) = delete;

  // True when the whole path matches; the decoded captures are then stored
  // in arguments under their placeholders' names. A capture group that did
  // not take part ends the walk and the path counts as not matched.
  [[nodiscard]] bool match(std::string_view path, PathArguments& arguments) const;

  [[nodiscard]] const std::string& pattern() const noexcept { return text_.pattern; }
  [[nodiscard]] const std::vector<Placeholder>& placeholders() const noexcept {
    return text_.placeholders;
  }

 private:
  explicit PathPattern(RoutePatternText text);

  RoutePatternText text_;
  std::unique_ptr<const PatternEngine> engine_;
};

}  // namespace zel::api::internal
