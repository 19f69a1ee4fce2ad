#include "api/internal/pattern_engine.h"

#include <algorithm>
#include <array>

namespace zel::api::internal {
namespace {

constexpr std::string_view kNoSlashGroup = "([^/]*)";
constexpr std::string_view kAnyGroup = "(.*)";

// The match table of an ordinary path fits on the stack.
constexpr std::size_t kInlineTable = 1024;

}  // namespace

PatternEngine::PatternEngine(std::string_view pattern) {
  auto addLiteral = [this](char c) {
    if (elements_.empty() || elements_.back().kind != ElementKind::Literal) {
      elements_.push_back(Element{ElementKind::Literal, {}});
    }
    elements_.back().literal += c;
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::string_view rest = pattern.substr(i);
    if (rest.starts_with(kNoSlashGroup)) {
      elements_.push_back(Element{ElementKind::NoSlash, {}});
      ++groups_;
      i += kNoSlashGroup.size() - 1;
    } else if (rest.starts_with(kAnyGroup)) {
      elements_.push_back(Element{ElementKind::AnyButLineEnd, {}});
      ++groups_;
      i += kAnyGroup.size() - 1;
    } else if (pattern[i] == '\\' && i + 1 < pattern.size()) {
      addLiteral(pattern[++i]);
    } else {
      addLiteral(pattern[i]);
    }
  }
}

bool PatternEngine::inClass(ElementKind kind, char c) noexcept {
  return kind == ElementKind::NoSlash ? c != '/' : c != '\n' && c != '\r';
}

bool PatternEngine::fullMatch(std::string_view text, std::span<PatternCapture> captures) const {
  const std::size_t count = elements_.size();
  const std::size_t width = text.size() + 1;
  // rest[e * width + p]: elements e.. match text[p..] to its end.
  std::array<std::uint8_t, kInlineTable> inlineTable;
  std::vector<std::uint8_t> heapTable;
  std::uint8_t* rest = inlineTable.data();
  if ((count + 1) * width > kInlineTable) {
    heapTable.resize((count + 1) * width);
    rest = heapTable.data();
  }
  std::fill(rest + count * width, rest + (count + 1) * width, 0);
  rest[count * width + text.size()] = 1;
  for (std::size_t e = count; e-- > 0;) {
    const Element& element = elements_[e];
    std::uint8_t* row = &rest[e * width];
    const std::uint8_t* next = &rest[(e + 1) * width];
    if (element.kind == ElementKind::Literal) {
      const std::size_t length = element.literal.size();
      std::fill(row, row + width, 0);
      for (std::size_t p = 0; p + length <= text.size(); ++p) {
        row[p] = next[p + length] != 0 && text.compare(p, length, element.literal) == 0;
      }
    } else {
      // The group takes nothing here, or one more character of its class.
      row[text.size()] = next[text.size()];
      for (std::size_t p = text.size(); p-- > 0;) {
        row[p] = next[p] != 0 || (inClass(element.kind, text[p]) && row[p + 1] != 0);
      }
    }
  }
  if (rest[0] == 0) return false;

  // Each group, from the left, takes the longest text after which the rest
  // still matches: the first answer a backtracking matcher would find.
  std::size_t group = 0;
  std::size_t position = 0;
  for (std::size_t e = 0; e < count; ++e) {
    const Element& element = elements_[e];
    if (element.kind == ElementKind::Literal) {
      position += element.literal.size();
      continue;
    }
    std::size_t run = 0;
    while (position + run < text.size() && inClass(element.kind, text[position + run])) ++run;
    const std::uint8_t* next = &rest[(e + 1) * width];
    while (next[position + run] == 0) --run;
    captures[group++] = PatternCapture{text.substr(position, run), true};
    position += run;
  }
  return true;
}

}  // namespace zel::api::internal
