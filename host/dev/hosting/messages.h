// Every text zel-host's host of a plugin (its mocks, its reloads, its log)
// produces, as templates for fillTemplate ("%1", "%2" in argument order);
// beside the host library's own in the same namespace.
#pragma once

#include <string_view>

namespace zel::host::messages {

// zel-host's log of requests (--verbose).
inline constexpr std::string_view kRequestLine = "%1 %2 -> %3 (%4 ms)";

// A call routed through the host (zel-host call, the HTTP bridge): no function
// fits the method and path; the function's streamed body failed.
inline constexpr std::string_view kNoFunction = "No function for %1 %2";
inline constexpr std::string_view kStreamFailed = "The function's body stream failed";

// The folders that answer the plugin's requests (--mock, --game-data); %1
// names the folder ("mock", "game data").
inline constexpr std::string_view kMockMissing = "%1 file %2 cannot be read: %3";
inline constexpr std::string_view kMockMethod = "The %1 has no %2 %3";
inline constexpr std::string_view kMockRefused = "The %1 refuses the path %2";
inline constexpr std::string_view kReadFailed = "reading %1 failed";
// Reasons a mock file is not served (%3 of kMockMissing): a FIFO, a device or
// a folder; a file above the cap (%1 bytes).
inline constexpr std::string_view kNotRegularFile = "not a regular file";
inline constexpr std::string_view kFileTooLarge = "larger than %1 bytes";

// Reloading the plugin (zel-host serve --reload).
inline constexpr std::string_view kCannotCopyPlugin = "Cannot copy the plugin %1 to load it: %2";
// A plugin file that exists but holds no byte (a build that failed or was cut short).
inline constexpr std::string_view kEmptyPlugin = "The plugin %1 is empty";
inline constexpr std::string_view kReloaded = "zel-host: reloaded %1";
inline constexpr std::string_view kReloadFailed =
    "zel-host: reload failed, still serving the old plugin: %1";
inline constexpr std::string_view kAttachFailed = "zel-host: reload failed, no plugin attached: %1";
inline constexpr std::string_view kNoPlugin = "No plugin is attached (the last reload failed)";
// The events that tell the event stream's clients about reloads; one token
// each, so that a browser's EventSource.addEventListener can name them.
inline constexpr std::string_view kReloadedEvent = "zel-host.reloaded";
inline constexpr std::string_view kReloadFailedEvent = "zel-host.reload-failed";

}  // namespace zel::host::messages
