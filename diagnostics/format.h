// The message formatter: every message text of the library is produced here.
// Templates use numbered placeholders ("%1" renders argument 1 with its
// type's default conversion), the POSIX form ("%2$08x") and plain printf
// specifications ("%lld"); arguments are typed, so a specification can never
// read an argument at the wrong width.
//
//   std::string text = zel::formatPositional("No map with id %1", id);
//   std::string pair = zel::formatPositional("%2 %1", "a", std::string("b"));  // "b a"
//
// Arguments: texts (const char*, std::string, std::string_view, char arrays),
// char (a character), integers of any width (std::uint8_t is a number), bool,
// enumerations, float and double, and any
// object with a member `std::string toString() const`. The result is an owned
// string of at most 4095 characters; a malformed or unserved specification
// ends the text there instead of failing. Brace templates ("{method} {url}")
// are compiled first, see diagnostics/internal/named_template.h.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "diagnostics/internal/format_arguments.h"

namespace zel {

template <typename... Args>
[[nodiscard]] std::string formatPositional(const char* tmpl, const Args&... args) {
  if constexpr (sizeof...(Args) == 0) {
    return diagnostics::internal::formatArguments(tmpl, nullptr, nullptr, 0);
  } else {
    const void* const values[] = {static_cast<const void*>(std::addressof(args))...};
    return diagnostics::internal::formatArguments(
        tmpl, diagnostics::internal::kRendererTable<std::remove_cv_t<Args>...>, values,
        sizeof...(Args));
  }
}

}  // namespace zel

// Brace templates build on formatPositional; they come with this header.
#include "diagnostics/internal/named_template.h"  // IWYU pragma: export
