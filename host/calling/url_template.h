// The grammar of a function's URL template as the host reads it: literal
// text and placeholders in braces. A "{" that a later "}" closes opens a
// placeholder up to the first "}"; a "{" that none closes is literal, with
// the rest of the text. A placeholder's name may start with an operator:
// "+" (a reserved capture, which may take nothing: "/search{+query}") or "#".
//
//   std::string_view rest = "/map/{id}";
//   takeTemplatePiece(rest);   // literal "/map/"
//   takeTemplatePiece(rest);   // placeholder "{id}", name "id"; rest is empty
//
// Pieces are views into the template; nothing is copied or owned.
#pragma once

#include <string_view>

namespace zel::host {

struct TemplatePiece {
  std::string_view text;  // as written: the literal, or the placeholder with its braces
  bool placeholder = false;
  char op = 0;            // a placeholder's operator, '+' or '#'; 0: none
  std::string_view name;  // a placeholder's name, without its operator
};

// Takes the first piece off a non-empty rest: the placeholder it starts
// with, or the literal up to the next placeholder (or to its end).
[[nodiscard]] TemplatePiece takeTemplatePiece(std::string_view& rest);

// Whether the text holds a placeholder.
[[nodiscard]] bool hasPlaceholder(std::string_view text);

}  // namespace zel::host
