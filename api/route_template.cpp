#include "api/route_template.h"

namespace zel {
namespace {

bool needsEscape(char c) noexcept {
  constexpr std::string_view kSpecial = "^$.*+?()[]|\\";
  return kSpecial.find(c) != std::string_view::npos;
}

const char* groupFor(PlaceholderOperator op) noexcept {
  switch (op) {
    case PlaceholderOperator::Plain:
      return "([^/]*)";
    case PlaceholderOperator::Reserved:
      return "(.*)";
    case PlaceholderOperator::Fragment:
      return "#(.*)";
    case PlaceholderOperator::None:
      break;
  }
  return "";
}

}  // namespace

std::string storedTemplate(std::string_view urlTemplate) {
  if (urlTemplate.size() > 1 && urlTemplate.back() == '/') urlTemplate.remove_suffix(1);
  return std::string(urlTemplate);
}

bool templateHasPlaceholders(std::string_view urlTemplate) noexcept {
  return urlTemplate.find('{') != std::string_view::npos;
}

RoutePatternText templateToPattern(std::string_view urlTemplate) {
  RoutePatternText out;
  out.pattern.reserve(urlTemplate.size() + 16);
  PlaceholderOperator state = PlaceholderOperator::None;
  std::string name;
  for (const char c : urlTemplate) {
    if (c == '{') {
      state = PlaceholderOperator::Plain;  // the name collected so far is kept
    } else if (c == '}') {
      out.pattern += groupFor(state);
      out.placeholders.push_back(Placeholder{state, std::move(name)});
      name.clear();
      state = PlaceholderOperator::None;
    } else if (state == PlaceholderOperator::None) {
      if (needsEscape(c)) out.pattern += '\\';
      out.pattern += c;
    } else if (state == PlaceholderOperator::Plain && name.empty() && c == '+') {
      state = PlaceholderOperator::Reserved;
    } else if (state == PlaceholderOperator::Plain && name.empty() && c == '#') {
      state = PlaceholderOperator::Fragment;
    } else {
      name += c;
    }
  }
  return out;
}

}  // namespace zel
