// The one non-template core of the positional formatter: a single walk over
// the template into a stack buffer, handing each directive to the
// renderer of its argument.
#include "diagnostics/internal/format_arguments.h"

#include "diagnostics/internal/format_directive.h"

namespace zel::diagnostics::internal {

std::size_t formatInto(char* out, std::size_t capacity, const char* tmpl,
                       const ArgumentRenderer* renderers, const void* const* values,
                       std::size_t count) noexcept {
  if (out == nullptr || capacity == 0) return 0;
  const std::size_t limit = capacity - 1;
  std::size_t length = 0;
  std::size_t sequential = 0;  // the last argument taken in order
  const char* p = tmpl == nullptr ? "" : tmpl;

  while (*p != '\0' && length < limit) {
    if (*p != '%') {
      out[length++] = *p++;
      continue;
    }
    if (p[1] == '%') {
      out[length++] = '%';
      p += 2;
      continue;
    }
    DirectiveText parsed;
    const char* next = readDirective(p, count, parsed);
    if (parsed.tooLong()) break;

    // "*" fields take their sequential numbers before the conversion does.
    std::size_t starArguments[2] = {0, 0};
    for (std::size_t i = 0; i < parsed.starCount; ++i) {
      starArguments[i] = parsed.starIndexes[i] != 0 ? parsed.starIndexes[i] : ++sequential;
    }
    const std::size_t argument = parsed.argumentIndex != 0 ? parsed.argumentIndex : ++sequential;
    if (argument > count) break;

    std::int32_t stars[2] = {0, 0};
    bool servable = true;
    // Precision first, then width; the values stay in width, precision order.
    for (std::size_t i = parsed.starCount; i-- > 0;) {
      const std::size_t index = starArguments[i];
      if (index == 0 || index > count || renderers[index - 1].toInt == nullptr) {
        servable = false;
        break;
      }
      stars[i] = renderers[index - 1].toInt(values[index - 1]);
    }
    if (!servable) break;

    const RenderRequest request{parsed.text,      parsed.length, stars,
                                parsed.starCount, out + length,  capacity - length};
    const RenderResult result = renderers[argument - 1].render(values[argument - 1], request);
    length += result.written;
    if (!result.complete) break;
    p = next;
  }
  out[length] = '\0';
  return length;
}

std::string formatArguments(const char* tmpl, const ArgumentRenderer* renderers,
                            const void* const* values, std::size_t count) {
  char buffer[kMessageBufferSize];
  const std::size_t length = formatInto(buffer, sizeof buffer, tmpl, renderers, values, count);
  return std::string(buffer, length);
}

}  // namespace zel::diagnostics::internal
