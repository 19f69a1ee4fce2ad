// Every text zel-host serve's HTTP side (the bridge, the request guard, the
// server's framing and limits, the event stream) produces, as templates for
// fillTemplate ("%1", "%2" in argument order); beside the host library's
// own in the same namespace.
#pragma once

#include <string_view>

namespace zel::host::messages {

// The HTTP bridge of zel-host serve.
inline constexpr std::string_view kMethodNotAllowed =
    "No function for %1 %2; the path has other methods";
inline constexpr std::string_view kBodyTooLarge = "The request body is too large";
inline constexpr std::string_view kTargetTooLong = "The request path is longer than %1 bytes";
inline constexpr std::string_view kHttpRefused = "Request refused: %1 %2";
inline constexpr std::string_view kBridgeFailed = "The bridge failed: %1";
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

// The HTTP server's framing and limits (http_session.cpp).
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
