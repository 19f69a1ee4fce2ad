// Every text the dev tool (zel-host's host, game-data stand-in and HTTP
// bridge) produces, as templates for fillTemplate ("%1", "%2" in argument
// order); beside the host library's own in the same namespace.
#pragma once

#include <string_view>

namespace zel::host::messages {

// zel-host's log of requests (--verbose).
inline constexpr std::string_view kRequestLine = "%1 %2 -> %3 (%4 ms)";

// JSON given to the host (arguments, event payloads).
inline constexpr std::string_view kInvalidJson = "Invalid JSON at offset %1: %2";

// The folders that answer the plugin's requests (--mock, --game-data); %1
// names the folder ("mock", "game data").
inline constexpr std::string_view kMockMissing = "%1 file %2 cannot be read: %3";
inline constexpr std::string_view kMockMethod = "The %1 has no %2 %3";
inline constexpr std::string_view kMockRefused = "The %1 refuses the path %2";
inline constexpr std::string_view kReadFailed = "reading %1 failed";

// Reloading the plugin (zel-host serve --reload).
inline constexpr std::string_view kCannotCopyPlugin = "Cannot copy the plugin %1 to load it: %2";
inline constexpr std::string_view kReloaded = "zel-host: reloaded %1";
inline constexpr std::string_view kReloadFailed =
    "zel-host: reload failed, still serving the old plugin: %1";
inline constexpr std::string_view kAttachFailed = "zel-host: reload failed, no plugin attached: %1";
inline constexpr std::string_view kNoPlugin = "No plugin is attached (the last reload failed)";
// The events that tell the event stream's clients about reloads.
inline constexpr std::string_view kReloadedEvent = "zel-host: reloaded";
inline constexpr std::string_view kReloadFailedEvent = "zel-host: reload failed";

// The HTTP bridge of zel-host serve.
inline constexpr std::string_view kNoFunction = "No function for %1 %2";
inline constexpr std::string_view kMethodNotAllowed =
    "No function for %1 %2; the path has other methods";
inline constexpr std::string_view kBodyTooLarge = "The request body is too large";
inline constexpr std::string_view kTargetTooLong = "The request path is longer than %1 bytes";
inline constexpr std::string_view kHttpRefused = "Request refused: %1 %2";
inline constexpr std::string_view kBridgeFailed = "The bridge failed: %1";
inline constexpr std::string_view kStreamFailed = "The function's body stream failed";
inline constexpr std::string_view kBadEventPayload = "The payload of event %1 is not JSON: %2";
inline constexpr std::string_view kCannotListen = "Cannot listen on %1 port %2";

}  // namespace zel::host::messages
