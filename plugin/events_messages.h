// Every text of the event machinery, the service proxy, the platform's
// declarations and telemetry, in one place: event names, the log lines
// (printf templates filled by zel::formatPositional), the descriptions the
// API description shows, and the telemetry endpoint.
//
//   std::string key = formatPositional(events::messages::kServiceProxyKey, service, method);
//
// The texts are static literals of the program.
#pragma once

namespace zel::events::messages {

// The event every resource change is published under, and the first entry
// of every per-resource event name.
inline constexpr const char kJsonApiEvent[] = "OnJsonApiEvent";
// The joint of the entries of a per-resource event name.
inline constexpr char kJsonApiNameSeparator = '_';
// The URI's first segment whose per-resource names keep six entries, not four.
inline constexpr const char kPlatformConfigSegment[] = "zel-platform-config";

// The path that conversion messages of a delivered payload print.
inline constexpr const char kPayloadPath[] = "<result>";

// The service-proxy events, subscribed at attach.
inline constexpr const char kServiceProxyUuidEvent[] = "OnServiceProxyUuidEvent";
inline constexpr const char kServiceProxyMethodEvent[] = "OnServiceProxyMethodEvent";
inline constexpr const char kServiceProxyAsyncEvent[] = "OnServiceProxyAsyncEvent";
inline constexpr const char kLcdsEvent[] = "OnLcdsEvent";

// The key of a method-based message: service name, then method name.
inline constexpr const char kServiceProxyKey[] = "%1.%2";
// Level ALWAYS: the short name and the key of the fulfilled request.
inline constexpr const char kServiceProxyFulfilled[] = "%s: Fulfilled service proxy request: %s";
// Level ERROR: the short name and the key of the dropped message.
inline constexpr const char kServiceProxyAsyncUnhandled[] =
    "%s: Could not find registered handler for async service proxy event %s";

// The descriptions of the platform's events.
inline constexpr const char kJsonApiEventDescription[] = "Fired when a resource is changed.";
inline constexpr const char kLcdsEventDescription[] =
    "Fired when a message is received over the LCDS connection.";
inline constexpr const char kServiceProxyUuidEventDescription[] =
    "Fired when a uuid-based service proxy message is received.";
inline constexpr const char kServiceProxyMethodEventDescription[] =
    "Fired when a method-based service proxy message is received.";
inline constexpr const char kServiceProxyAsyncEventDescription[] =
    "Fired when an async service proxy message is received.";

// Telemetry events are posted here, the event name appended unescaped.
inline constexpr const char kTelemetryUrlPrefix[] = "/telemetry/v1/events/";

}  // namespace zel::events::messages
