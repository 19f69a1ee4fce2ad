#include "host/calling/route_match.h"

#include "host/calling/url_template.h"

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

// Matches one segment against its template, whose placeholders
// (url_template.h) stand for at least one character each. A "{+name}" may
// stand for none: it captures the query ("/search{+query}"), which the path
// here has lost. Templates are short, so plain backtracking.
bool matchSegment(std::string_view pattern, std::string_view segment) {
  if (pattern.empty()) return segment.empty();
  TemplatePiece piece = takeTemplatePiece(pattern);
  if (!piece.placeholder) {
    return segment.starts_with(piece.text) &&
           matchSegment(pattern, segment.substr(piece.text.size()));
  }
  std::size_t least = piece.op == '+' ? 0 : 1;
  for (std::size_t taken = least; taken <= segment.size(); ++taken) {
    if (matchSegment(pattern, segment.substr(taken))) return true;
  }
  return false;
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
    if (!hasPlaceholder(pattern)) ++fit.literalSegments;
  }
  if (!patterns.done() || !segments.done()) return std::nullopt;
  return fit;
}

}  // namespace zel::host
