#include "api/internal/path_pattern.h"

#include <array>
#include <span>

#include "api/internal/pattern_engine.h"
#include "api/internal/percent_decoding.h"

namespace zel::api::internal {

PathPattern::PathPattern(RoutePatternText text)
    : text_(std::move(text)), engine_(std::make_unique<PatternEngine>(text_.pattern)) {}

PathPattern::~PathPattern() = default;

std::shared_ptr<const PathPattern> PathPattern::compile(std::string_view urlTemplate) {
  return std::shared_ptr<const PathPattern>(new PathPattern(templateToPattern(urlTemplate)));
}

bool PathPattern::match(std::string_view path, PathArguments& arguments) const {
  // Routes have a handful of placeholders: their captures stay on the stack.
  constexpr std::size_t kInlineCaptures = 8;
  std::array<PatternCapture, kInlineCaptures> inlineCaptures;
  std::vector<PatternCapture> heapCaptures;
  std::span<PatternCapture> captures(inlineCaptures.data(), engine_->groupCount());
  if (engine_->groupCount() > kInlineCaptures) {
    heapCaptures.resize(engine_->groupCount());
    captures = heapCaptures;
  }
  if (!engine_->fullMatch(path, captures)) return false;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    // Groups come from placeholders only, so there is a name for each; an
    // unbalanced template may list more placeholders than groups.
    std::string decoded = percentDecode(captures[i].text);
    if (i < text_.placeholders.size()) {
      arguments.insert_or_assign(text_.placeholders[i].name, std::move(decoded));
    }
    if (!captures[i].matched) return false;
  }
  return true;
}

}  // namespace zel::api::internal
