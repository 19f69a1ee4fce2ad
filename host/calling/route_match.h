// How the host picks a function for a request path: each function's URL
// template is compared segment by segment with the path (its query left
// out); a placeholder in braces matches a non-empty run of characters within
// one segment, everything else matches itself exactly.
//
//   matchRoute("/zel-maps/v1/map/{id}", "/zel-maps/v1/map/42?x=1");   // 1 placeholder, 3 literal
//   matchRoute("/zel-maps/v1/map/{id}", "/zel-maps/v1/map/");         // none
//
// Pure functions over texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zel::host {

// How closely a template fits: more literal segments is closer, so
// "/a/b" beats "/a/{x}" for the path /a/b.
struct RouteFit {
  std::uint32_t literalSegments = 0;

  [[nodiscard]] bool closerThan(const RouteFit& other) const {
    return literalSegments > other.literalSegments;
  }
};

// The path without "?" and what follows it (and without a "#" fragment).
[[nodiscard]] std::string_view pathWithoutQuery(std::string_view url);

// None when the template does not fit the url's path.
[[nodiscard]] std::optional<RouteFit> matchRoute(std::string_view urlTemplate,
                                                 std::string_view url);

}  // namespace zel::host
