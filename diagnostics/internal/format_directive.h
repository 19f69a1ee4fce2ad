// Reading one printf-style directive out of a message template: the
// numbered form "%N", the POSIX form "%N$...", flags, width, precision, length
// modifier and conversion. Shared by the positional formatter and the
// named-template compiler, so both read a template the same way.
//
//   DirectiveText parsed;
//   const char* next = readDirective(percent, argumentCount, parsed);
//
// The parsed text lives in the caller's DirectiveText (on its stack).
#pragma once

#include <cstddef>

namespace zel::diagnostics::internal {

// A conversion directive ("%", flags, width, precision, length, conversion) is
// collected in a 64-byte buffer and may use 59 of its bytes.
inline constexpr std::size_t kDirectiveBufferSize = 64;
inline constexpr std::size_t kMaxDirectiveLength = 59;

// An argument number that can never be served: an explicit "0$".
inline constexpr std::size_t kNoSuchArgument = static_cast<std::size_t>(-1);

struct DirectiveText {
  // "%", flags, width, precision, length modifier and conversion as written,
  // without the "N$" argument numbers; zero-terminated when it fits.
  char text[kDirectiveBufferSize];
  // Characters of the directive, which may exceed what text holds.
  std::size_t length;
  // Argument of the conversion and of each "*" field (width, then precision);
  // 0 means "the next sequential argument".
  std::size_t argumentIndex;
  std::size_t starIndexes[2];
  std::size_t starCount;

  bool tooLong() const { return length > kMaxDirectiveLength; }
  // The numbered placeholder "%N" (and a "%" at the end of the template).
  bool bare() const { return length == 1; }
};

// Reads the directive that starts at percent (a '%' that is not part of
// "%%"), with argumentCount arguments available for the "%N" forms; returns
// the first template character after it.
const char* readDirective(const char* percent, std::size_t argumentCount,
                          DirectiveText& parsed) noexcept;

}  // namespace zel::diagnostics::internal
