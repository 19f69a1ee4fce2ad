// The matching engine behind PathPattern. It reads the patterns that
// templateToPattern writes (literal characters, escaped special characters,
// and the groups "([^/]*)" and "(.*)") and matches them exactly as an
// ECMAScript regular expression would: the whole text must match, every
// group is greedy and takes the longest text that still lets the rest match,
// "[^/]" is any character but "/", and "." any character but a line feed or
// a carriage return.
//
//   PatternEngine engine("/a/([^/]*)");
//   PatternCapture captures[1];
//   engine.fullMatch("/a/b", captures);   // true; captures[0] = {"b", true}
//
// Matching is iterative, in time and memory proportional to the text's
// length times the pattern's elements, so a path of any length is safe on any
// stack. Immutable after construction; matching from several threads is
// safe. Captures view the matched text, which the caller keeps alive.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zel::api::internal {

struct PatternCapture {
  std::string_view text;  // empty when the group did not take part
  bool matched;
};

class PatternEngine {
 public:
  explicit PatternEngine(std::string_view pattern);

  // On a match, captures[0 .. groupCount()) receive groups 1 to the group
  // count, in order; captures must have room for them.
  [[nodiscard]] bool fullMatch(std::string_view text, std::span<PatternCapture> captures) const;

  [[nodiscard]] std::size_t groupCount() const noexcept { return groups_; }

 private:
  enum class ElementKind : std::uint8_t { Literal, NoSlash, AnyButLineEnd };
  struct Element {
    ElementKind kind;
    std::string literal;
  };

  static bool inClass(ElementKind kind, char c) noexcept;

  std::vector<Element> elements_;
  std::size_t groups_ = 0;
};

}  // namespace zel::api::internal
