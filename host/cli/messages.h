// Every text of the zel-host command line's own errors, as templates for
// fillTemplate ("%1" in argument order).
#pragma once

#include <string_view>

namespace zel::host::cli::messages {

inline constexpr std::string_view kUnknownCommand = "unknown command: %1";
inline constexpr std::string_view kUnknownOption = "unknown option: %1";
inline constexpr std::string_view kMissingValue = "missing value after %1";
inline constexpr std::string_view kNotAVersion = "not a version (X.Y.Z): %1";
inline constexpr std::string_view kLinkMismatch =
    "the description's records link %1 functions, %2 types, %3 events";

}  // namespace zel::host::cli::messages
