#include "host/route_match.h"

namespace zel::host {

namespace {

// Walks the "/"-separated segments of a path; an empty text is one empty
// segment, so "/" and "" differ from "/a" but "/a/" has a trailing empty one.
class Segments {
 public:
  explicit Segments(std::string_view path) : rest_(path) {}

  bool done() const { return done_; }

  std::string_view next() {
    std::size_t slash = rest_.find('/');
    std::string_view segment = rest_.substr(0, slash);
    if (slash == std::string_view::npos) {
      done_ = true;
    } else {
      rest_.remove_prefix(slash + 1);
    }
    return segment;
  }

 private:
  std::string_view rest_;
  bool done_ = false;
};

// Matches one segment against its template, whose "{name}" parts stand for
// at least one character each. A "{+name}" part may stand for none: it
// captures the query ("/search{+query}"), which the path here has lost.
// Templates are short, so plain backtracking.
bool matchSegment(std::string_view pattern, std::string_view segment) {
  if (pattern.empty()) return segment.empty();
  if (pattern.front() == '{') {
    std::size_t close = pattern.find('}');
    if (close == std::string_view::npos) return pattern == segment;
    std::string_view after = pattern.substr(close + 1);
    std::size_t least = pattern.size() > 1 && pattern[1] == '+' ? 0 : 1;
    for (std::size_t taken = least; taken <= segment.size(); ++taken) {
      if (matchSegment(after, segment.substr(taken))) return true;
    }
    return false;
  }
  if (segment.empty() || pattern.front() != segment.front()) return false;
  return matchSegment(pattern.substr(1), segment.substr(1));
}

bool hasPlaceholder(std::string_view pattern) {
  std::size_t open = pattern.find('{');
  return open != std::string_view::npos && pattern.find('}', open) != std::string_view::npos;
}

}  // namespace

std::string_view pathWithoutQuery(std::string_view url) {
  return url.substr(0, url.find_first_of("?#"));
}

std::optional<RouteFit> matchRoute(std::string_view urlTemplate, std::string_view url) {
  std::string_view path = pathWithoutQuery(url);
  if (urlTemplate.empty() || path.empty()) return std::nullopt;
  // Both start with "/" or both do not.
  if ((urlTemplate.front() == '/') != (path.front() == '/')) return std::nullopt;
  if (urlTemplate.front() == '/') {
    urlTemplate.remove_prefix(1);
    path.remove_prefix(1);
  }
  RouteFit fit;
  Segments patterns(urlTemplate);
  Segments segments(path);
  while (!patterns.done() && !segments.done()) {
    std::string_view pattern = patterns.next();
    if (!matchSegment(pattern, segments.next())) return std::nullopt;
    if (hasPlaceholder(pattern)) {
      ++fit.placeholderSegments;
    } else {
      ++fit.literalSegments;
    }
  }
  if (!patterns.done() || !segments.done()) return std::nullopt;
  return fit;
}

}  // namespace zel::host
