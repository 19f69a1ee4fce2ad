// Every text of the zel-host command line's own errors and reports, as
// templates for fillTemplate ("%1" in argument order).
#pragma once

#include <string_view>

namespace zel::host::cli::messages {

inline constexpr std::string_view kUnknownCommand = "unknown command: %1";
inline constexpr std::string_view kUnknownOption = "unknown option: %1";
inline constexpr std::string_view kMissingValue = "missing value after %1";
inline constexpr std::string_view kNotAVersion = "not a version (X.Y.Z): %1";
inline constexpr std::string_view kNotAPair = "%1 takes name=value, not: %2";
inline constexpr std::string_view kNotAMock = "--mock takes /PREFIX=DIR, not: %1";
inline constexpr std::string_view kNotAPort = "not a port (0 to 65535): %1";
inline constexpr std::string_view kNotAHost = "--allow-host takes NAME or NAME:PORT, not: %1";
inline constexpr std::string_view kOperandCount = "%1 takes %2 operands";
inline constexpr std::string_view kOperandRange = "%1 takes %2 to %3 operands";
inline constexpr std::string_view kLinkMismatch =
    "the description's records link %1 functions, %2 types, %3 events";
// handshake and describe fail when the plugin logged ERROR lines while it was
// loaded (printed above this report): %1 how many.
inline constexpr std::string_view kLoadErrors = "the plugin logged %1 ERROR lines during load";

// A command that ran out of memory (describe of a huge description, a call
// with a huge reply): said on one line instead of ending the process.
inline constexpr std::string_view kOutOfMemory = "zel-host: out of memory";

inline constexpr std::string_view kBodyUnreadable = "cannot read the body file %1: %2";
inline constexpr std::string_view kBadArgument = "--arg %1 is not JSON: %2";
inline constexpr std::string_view kServing = "zel-host: serving %1 on %2";
inline constexpr std::string_view kStopping = "zel-host: stopping";
inline constexpr std::string_view kWatching = "zel-host: reloading %1 when it changes";

// new
inline constexpr std::string_view kNotAProjectName =
    "not a plugin name (lower-case words joined by \"-\", e.g. my-notes): %1";
// A well-formed name whose project could not build (project_name_clash.h):
// %1 the name as given, %2 what it becomes (my_notes).
inline constexpr std::string_view kNameIsCMakeTarget =
    "cannot name a plugin %1: CMake keeps the target name %2 for itself";
inline constexpr std::string_view kNameIsWindowsDevice =
    "cannot name a plugin %1: %2 is a device on Windows, where %2.dll cannot be a file";
inline constexpr std::string_view kFolderNotEmpty = "%1 exists and is not an empty folder";
inline constexpr std::string_view kCannotWrite = "cannot write %1: %2";
inline constexpr std::string_view kProjectWritten =
    "zel-host: wrote the plugin project %1 into %2; its README.md says how to build, test and "
    "serve it";

}  // namespace zel::host::cli::messages
