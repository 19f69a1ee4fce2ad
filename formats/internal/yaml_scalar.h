// Typing one YAML scalar into a node, by its tag and style: the standard tags
// for strings, integers, floats and booleans, and for untagged plain scalars
// the null, boolean and number texts.
//
//   std::string error;
//   typeScalar(node, "42", nullptr, false, error);   // unsigned 42
//   typeScalar(node, "42", nullptr, true, error);    // string "42" (quoted)
//   typeScalar(node, "x", "!mine", false, error);    // false: "Unsupported YAML tag '!mine'."
//
// The node belongs to the caller's tree; the text is copied into it.
#pragma once

#include <string>
#include <string_view>

#include "binding/value.h"

namespace zel::formats::internal {

inline constexpr const char kYamlStringTag[] = "tag:yaml.org,2002:str";
inline constexpr const char kYamlIntTag[] = "tag:yaml.org,2002:int";
inline constexpr const char kYamlFloatTag[] = "tag:yaml.org,2002:float";
inline constexpr const char kYamlBoolTag[] = "tag:yaml.org,2002:bool";

// The texts that read as null, true and false (compared exactly).
[[nodiscard]] bool isNullText(std::string_view text) noexcept;
[[nodiscard]] bool isTrueText(std::string_view text) noexcept;
[[nodiscard]] bool isFalseText(std::string_view text) noexcept;

// Sets node from the scalar `text` with its `tag` (null when untagged);
// `quoted` for the single- and double-quoted styles. False, with the message
// in `error`, for an unsupported tag or a tagged number that does not convert.
// A "!!bool" scalar that is neither true nor false leaves the node as it is.
[[nodiscard]] bool typeScalar(ValueNode& node, std::string_view text, const char* tag, bool quoted,
                              std::string& error);

}  // namespace zel::formats::internal
