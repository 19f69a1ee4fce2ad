// The compiled side of the positional formatter: the size of its output
// buffer and formatInto, the walk over a template that hands each directive
// to the renderer of its argument (diagnostics/format.h declares the
// renderers and builds their tables).
//
//   const void* values[] = {&name, &count};
//   formatInto(out, sizeof out, "%1: %2", kRendererTable<std::string, int>, values, 2);
//
// Renderers only read the values they are given; the caller owns them.
#pragma once

#include <cstddef>

#include "diagnostics/format.h"

namespace zel::diagnostics::internal {

// The output buffer of one message: 4096 bytes, so at most 4095 characters.
inline constexpr std::size_t kMessageBufferSize = 4096;
inline constexpr std::size_t kMaxMessageLength = kMessageBufferSize - 1;

// Writes the formatted template into out (capacity bytes, at least 1) and
// returns the number of characters written; the text is always terminated.
std::size_t formatInto(char* out, std::size_t capacity, const char* tmpl,
                       const ArgumentRenderer* renderers, const void* const* values,
                       std::size_t count) noexcept;

}  // namespace zel::diagnostics::internal
