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
// %1 the offset just after the bracket that opens one level too many, %2 the
// deepest nesting accepted (the plugin's readers refuse the same).
inline constexpr std::string_view kJsonTooDeep =
    "Invalid JSON at offset %1: Containers are nested deeper than %2 levels.";

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
inline constexpr std::string_view kCannotListen = "Cannot listen on %1 port %2: %3";
inline constexpr std::string_view kAddressInUse = "address in use";

// What the request guard of zel-host serve refuses before a body is read.
inline constexpr std::string_view kNoHost = "The request names no Host";
inline constexpr std::string_view kForeignHost =
    "The host %1 is not served here: zel-host answers %2 (--allow-host adds others)";
inline constexpr std::string_view kForeignOrigin =
    "Requests from the origin %1 are refused: other origins may only GET and HEAD";
inline constexpr std::string_view kEventNotJson =
    "The payload of event %1 must be sent as application/json";
inline constexpr std::string_view kHeadTooLarge =
    "The request head is larger than %1 headers or %2 bytes";
inline constexpr std::string_view kHeadTimedOut = "The request head did not arrive within %1 s";
inline constexpr std::string_view kTooManyStreams = "Too many event streams: at most %1 are served";
inline constexpr std::string_view kServerBusy = "The server is busy; try again";

// The HTTP server's framing and limits (http_server.cpp).
inline constexpr std::string_view kBodyStalled = "The request body stopped arriving for %1 s";
inline constexpr std::string_view kBodyTooSlow =
    "The request body arrives too slowly to be in within %1 s";
inline constexpr std::string_view kBadTransferEncoding =
    "The Transfer-Encoding %1 is refused: its last coding must be chunked, once";
inline constexpr std::string_view kUnknownTransferCoding =
    "The Transfer-Encoding %1 is not supported: only chunked is";
inline constexpr std::string_view kChunkFramingTooLarge =
    "The chunked body's framing (chunk lines, extensions, trailers) is larger than %1 bytes, "
    "or one line or the trailers than %2";

// The event stream of zel-host serve (GET /events), as the texts of its
// comment lines: the first one, and the last one of a listener that fell
// behind (%1 its bound, "16 MiB").
inline constexpr std::string_view kEventStreamOpened = "zel-host events";
inline constexpr std::string_view kListenerFellBehind =
    "closed: this listener fell more than %1 behind";
// An answer that ran out of memory (%1 method, %2 path): the server goes on.
inline constexpr std::string_view kOutOfMemory = "zel-host ran out of memory answering %1 %2";
// The same when even that text cannot be made.
inline constexpr std::string_view kOutOfMemoryBare = "zel-host ran out of memory";

}  // namespace zel::host::messages
