// The message formatter of every library text. Templates use numbered
// placeholders ("%1": argument 1 in its type's default form), the POSIX form
// ("%2$08x") and printf directives ("%lld"); arguments are typed, so a
// directive never reads one at the wrong width.
//
//   std::string text = zel::formatPositional("No map with id %1", id);
//   std::string pair = zel::formatPositional("%2 %1", "a", std::string("b"));  // "b a"
//
// Arguments: texts (const char*, std::string, std::string_view, char arrays),
// char (a character), integers of any width (std::uint8_t is a number), bool,
// enumerations, float and double, and any object with a member
// `std::string toString() const`. The result has at most 4095 characters; a
// malformed or unserved directive ends the text there instead of failing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

// Per argument type a renderer, one table of them per combination of types,
// and formatArguments, the compiled core.
namespace zel::diagnostics::internal {

// One directive handed to a renderer with the space left for its output, what
// the renderer reports, and the renderer of one argument type.
struct RenderRequest {
  const char* directive;        // "%" ... conversion, as the template wrote it
  std::size_t directiveLength;  // 1: the bare placeholder "%N"
  const std::int32_t* stars;    // values fetched for "*" fields: width, then precision
  std::size_t starCount;
  char* out;
  std::size_t space;  // bytes left, including the terminator; at least 1
};
struct RenderResult {
  std::size_t written;  // characters written (the terminator not counted)
  bool complete;        // false: the text did not fit, so the output is full
};
struct ArgumentRenderer {
  RenderResult (*render)(const void* value, const RenderRequest& request);
  std::int32_t (*toInt)(const void* value);  // null: cannot serve a "*" field
};

RenderResult renderText(std::string_view text, const RenderRequest& request) noexcept;
RenderResult renderCharacter(char value, const RenderRequest& request) noexcept;
RenderResult renderSigned(std::int64_t value, bool wide, const RenderRequest& request) noexcept;
RenderResult renderUnsigned(std::uint64_t value, bool wide, const RenderRequest& request) noexcept;
RenderResult renderDouble(double value, const RenderRequest& request) noexcept;
std::string formatArguments(const char* tmpl, const ArgumentRenderer* renderers,
                            const void* const* values, std::size_t count);

// Integers go by width and sign (bool and signed or unsigned char are numbers).
template <typename T>
RenderResult renderArgument(const void* value, const RenderRequest& request) noexcept {
  const T& v = *static_cast<const T*>(value);
  if constexpr (std::is_same_v<T, char>) {
    return renderCharacter(v, request);
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    using Integer = typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>,
                                                std::type_identity<T>>::type;
    if constexpr (std::is_signed_v<Integer> || std::is_same_v<Integer, bool>)
      return renderSigned(static_cast<std::int64_t>(v), sizeof(T) == 8, request);
    else
      return renderUnsigned(static_cast<std::uint64_t>(v), sizeof(T) == 8, request);
  } else if constexpr (std::is_floating_point_v<T>) {
    return renderDouble(static_cast<double>(v), request);
  } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
    return renderText(v == nullptr ? std::string_view("(null)") : std::string_view(v), request);
  } else if constexpr (std::is_array_v<T> &&
                       std::is_same_v<std::remove_cv_t<std::remove_extent_t<T>>, char>) {
    // A character array need not be terminated within its bounds.
    const char* end = std::char_traits<char>::find(v, std::extent_v<T>, '\0');
    return renderText(std::string_view(v, end != nullptr ? end - v : std::extent_v<T>), request);
  } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
    return renderText(v, request);
  } else if constexpr (requires { std::string(v.toString()); }) {
    return renderText(std::string(v.toString()), request);
  } else {
    static_assert(sizeof(T) == 0, "formatPositional: no renderer for this argument type");
  }
}

// An integer also serves as a "*" width or precision: its low 32 bits.
template <typename T>
constexpr ArgumentRenderer rendererFor() {
  if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return {&renderArgument<T>, [](const void* value) noexcept {
              return static_cast<std::int32_t>(static_cast<std::uint32_t>(
                  static_cast<std::uint64_t>(*static_cast<const T*>(value))));
            }};
  }
  return {&renderArgument<T>, nullptr};
}
template <typename... Args>
inline constexpr ArgumentRenderer kRendererTable[] = {rendererFor<Args>()...};

}  // namespace zel::diagnostics::internal

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
