#include "host/calling/url_template.h"

namespace zel::host {

namespace {

// Where the first placeholder of text starts: a "{" with a "}" after it.
// Once a "{" has no "}" after it, no later one has.
std::size_t placeholderStart(std::string_view text) {
  std::size_t open = text.find('{');
  if (open == std::string_view::npos || text.find('}', open) == std::string_view::npos) {
    return std::string_view::npos;
  }
  return open;
}

}  // namespace

TemplatePiece takeTemplatePiece(std::string_view& rest) {
  TemplatePiece piece;
  std::size_t open = placeholderStart(rest);
  if (open != 0) {
    piece.text = rest.substr(0, open);
    rest.remove_prefix(piece.text.size());
    return piece;
  }
  std::size_t close = rest.find('}');
  piece.text = rest.substr(0, close + 1);
  piece.placeholder = true;
  piece.name = piece.text.substr(1, close - 1);
  if (!piece.name.empty() && (piece.name.front() == '+' || piece.name.front() == '#')) {
    piece.op = piece.name.front();
    piece.name.remove_prefix(1);
  }
  rest.remove_prefix(close + 1);
  return piece;
}

bool hasPlaceholder(std::string_view text) {
  return placeholderStart(text) != std::string_view::npos;
}

}  // namespace zel::host
