// Every text the host library itself produces, as templates for
// fillTemplate ("%1", "%2" in argument order).
#pragma once

#include <string_view>

namespace zel::host::messages {

// Answers of the recording host.
inline constexpr std::string_view kNoHandler = "No handler for %1 %2";
inline constexpr std::string_view kHandlerFailed = "Request handler for %1 %2 failed: %3";

// Misuse of the host records that the recording host notices (its faults).
inline constexpr std::string_view kYieldHandlerFailed = "Yield handler failed: %1";
inline constexpr std::string_view kReadAfterClose = "Stream read after close";
inline constexpr std::string_view kCloseTwice = "Stream closed twice";

// Loading and driving a plugin library.
inline constexpr std::string_view kOpenFailed = "Cannot load plugin library %1: %2";
inline constexpr std::string_view kNoEntry = "Plugin library %1 has no entry function %2: %3";
inline constexpr std::string_view kNotOpen = "No plugin library is open";
inline constexpr std::string_view kLoadedTwice = "The plugin is already loaded";
inline constexpr std::string_view kIncompleteLoad = "The plugin left %1 empty in the load record";
inline constexpr std::string_view kMissingEntryPoints = "the entry points (word 3)";
inline constexpr std::string_view kMissingObject = "the plugin object (word 4)";
inline constexpr std::string_view kMissingShortName = "the short name (word 5)";
inline constexpr std::string_view kMissingDescription = "the API description (word 6)";
inline constexpr std::string_view kMissingEntryPoint = "an entry point";
inline constexpr std::string_view kNotLoaded = "The plugin is not loaded";
inline constexpr std::string_view kAttachedTwice = "The plugin is already attached";
inline constexpr std::string_view kAttachRefused = "The plugin refused to attach";
inline constexpr std::string_view kNullHostApi = "No host function table given to attach";

// Calling a plugin's functions.
inline constexpr std::string_view kNoCallback = "The function %1 has no callback";

}  // namespace zel::host::messages
