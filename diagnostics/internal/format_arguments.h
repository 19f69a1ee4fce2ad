// The typed arguments of the positional formatter: for each argument type a
// renderer entry {render, toInt, starUsable}, and the constant table of those
// entries that each combination of argument types gets once. formatPositional
// (diagnostics/format.h) builds the table and calls formatArguments, the one
// non-template core.
//
//   const void* values[] = {&name, &count};
//   formatArguments("%1: %2", kRendererTable<std::string, int>, values, 2);
//
// Renderers only read the values they are given; the caller owns them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace zel::diagnostics::internal {

// The output buffer of one message: 4096 bytes, so at most 4095 characters.
inline constexpr std::size_t kMessageBufferSize = 4096;
inline constexpr std::size_t kMaxMessageLength = kMessageBufferSize - 1;

// One specification handed to a renderer, and the space left for its output.
struct RenderRequest {
  const char* specification;        // "%" ... conversion, as the template wrote it
  std::size_t specificationLength;  // 1: the bare placeholder "%N"
  const std::int32_t* stars;        // values fetched for "*" fields: width, then precision
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
  std::int32_t (*toInt)(const void* value);  // null where starUsable is false
  bool starUsable;
};

// The non-template renderers; the thunks below only read the value.
RenderResult renderText(std::string_view text, const RenderRequest& request) noexcept;
RenderResult renderCharacter(char value, const RenderRequest& request) noexcept;
RenderResult renderSigned(std::int64_t value, bool wide, const RenderRequest& request) noexcept;
RenderResult renderUnsigned(std::uint64_t value, bool wide, const RenderRequest& request) noexcept;
RenderResult renderDouble(double value, const RenderRequest& request) noexcept;

// Writes the formatted template into out (capacity bytes, at least 1) and
// returns the number of characters written; the text is always terminated.
std::size_t formatInto(char* out, std::size_t capacity, const char* tmpl,
                       const ArgumentRenderer* renderers, const void* const* values,
                       std::size_t count) noexcept;

// The core behind formatPositional: formats into a 4096-byte stack buffer
// and returns the result as an owned string.
std::string formatArguments(const char* tmpl, const ArgumentRenderer* renderers,
                            const void* const* values, std::size_t count);

// Objects with a text form: a member std::string toString() const.
template <typename T>
concept HasTextForm = requires(const T& value) {
  { value.toString() } -> std::convertible_to<std::string>;
};

template <typename T>
RenderResult renderCharacterArgument(const void* value, const RenderRequest& request) noexcept {
  return renderCharacter(static_cast<char>(*static_cast<const T*>(value)), request);
}

template <typename T>
RenderResult renderSignedArgument(const void* value, const RenderRequest& request) noexcept {
  return renderSigned(static_cast<std::int64_t>(*static_cast<const T*>(value)), sizeof(T) == 8,
                      request);
}

template <typename T>
RenderResult renderUnsignedArgument(const void* value, const RenderRequest& request) noexcept {
  return renderUnsigned(static_cast<std::uint64_t>(*static_cast<const T*>(value)), sizeof(T) == 8,
                        request);
}

// The low 32 bits, as a "*" width or precision.
template <typename T>
std::int32_t integerToInt(const void* value) noexcept {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(*static_cast<const T*>(value))));
}

template <typename T>
RenderResult renderFloatingArgument(const void* value, const RenderRequest& request) noexcept {
  return renderDouble(static_cast<double>(*static_cast<const T*>(value)), request);
}

inline RenderResult renderPointerTextArgument(const void* value,
                                              const RenderRequest& request) noexcept {
  const char* text = *static_cast<const char* const*>(value);
  return renderText(text == nullptr ? std::string_view("(null)") : std::string_view(text), request);
}

// A character array need not be terminated within its bounds.
template <std::size_t N>
RenderResult renderArrayTextArgument(const void* value, const RenderRequest& request) noexcept {
  const char* text = static_cast<const char*>(value);
  std::size_t length = 0;
  while (length < N && text[length] != '\0') ++length;
  return renderText(std::string_view(text, length), request);
}

inline RenderResult renderStringArgument(const void* value, const RenderRequest& request) noexcept {
  return renderText(*static_cast<const std::string*>(value), request);
}

inline RenderResult renderStringViewArgument(const void* value,
                                             const RenderRequest& request) noexcept {
  return renderText(*static_cast<const std::string_view*>(value), request);
}

template <typename T>
RenderResult renderObjectArgument(const void* value, const RenderRequest& request) noexcept {
  const std::string text = static_cast<const T*>(value)->toString();
  return renderText(text, request);
}

template <typename T>
inline constexpr bool kUnsupportedArgument = false;

template <typename T>
constexpr ArgumentRenderer rendererFor() {
  using U = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<U, char>) {
    return {&renderCharacterArgument<U>, &integerToInt<U>, true};
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    // bool, signed/unsigned char (std::int8_t, std::uint8_t: numbers, not
    // characters), short, int, long, long long and enumerations: by width and
    // sign, so long is 32-bit on Windows and 32-bit Linux, 64-bit on 64-bit Linux.
    using Integer = typename std::conditional_t<std::is_enum_v<U>, std::underlying_type<U>,
                                                std::type_identity<U>>::type;
    if constexpr (std::is_signed_v<Integer> || std::is_same_v<Integer, bool>) {
      return {&renderSignedArgument<U>, &integerToInt<U>, true};
    } else {
      return {&renderUnsignedArgument<U>, &integerToInt<U>, true};
    }
  } else if constexpr (std::is_floating_point_v<U>) {
    return {&renderFloatingArgument<U>, nullptr, false};
  } else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
    return {&renderPointerTextArgument, nullptr, false};
  } else if constexpr (std::is_array_v<U> &&
                       std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, char>) {
    return {&renderArrayTextArgument<std::extent_v<U>>, nullptr, false};
  } else if constexpr (std::is_same_v<U, std::string>) {
    return {&renderStringArgument, nullptr, false};
  } else if constexpr (std::is_same_v<U, std::string_view>) {
    return {&renderStringViewArgument, nullptr, false};
  } else if constexpr (HasTextForm<U>) {
    return {&renderObjectArgument<U>, nullptr, false};
  } else {
    static_assert(kUnsupportedArgument<U>, "formatPositional: no renderer for this argument type");
    return {};
  }
}

// One constant table per combination of argument types.
template <typename... Args>
inline constexpr ArgumentRenderer kRendererTable[] = {rendererFor<Args>()...};

}  // namespace zel::diagnostics::internal
