// Every text of the plugin runtime, in one place: the load handshake, names
// and version, the event machinery, the service proxy, the platform's
// declarations, telemetry and the outgoing requests. Numbered placeholders
// ("%1") and printf specifications are filled by zel::formatPositional; the
// four request errors are brace templates compiled by zel::formatNamed with
// the fields method (the method's name), url and error (the cause), in that
// order. Each constant says what its placeholders stand for.
//
//   std::string key = formatPositional(plugin::messages::kServiceProxyKey, service, method);
//   ErrorInfo error = requestError(plugin::messages::kErrorResponse, status, method, url, cause);
//
// The texts are static literals of the program.
#pragma once

namespace zel::plugin::messages {

// --- Load, names and version -------------------------------------------------------------------

// %1 major, %2 minor, %3 patch.
inline constexpr const char kVersionText[] = "%1.%2.%3";
// %1 the plugin's short name, %2 the plugin API it supports, %3 the host's.
inline constexpr const char kIncompatibleHost[] =
    "%1 which supports plugin API %2 is not compatible with core's plugin API %3";
// The expression the incompatible-host assertion reports.
inline constexpr const char kIncompatibleHostExpression[] = "ALE-EECF0606";
// %1 short name, %2 the kind's name.
inline constexpr const char kUnknownPluginKind[] =
    "GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type";
// Level ERROR, printf: %s the message.
inline constexpr const char kPluginManagerLine[] = "            Plugin Manager| %s";
// %1 the host's version, %2 short name.
inline constexpr const char kUserAgent[] = "TavikClient/%1 (%2)";
// The line template of the log target that forwards to the host.
inline constexpr const char kPluginLineTemplate[] = "#D| #L| #G| #M";

// The load steps that declare the plugin, as kLoadStepFailed names them.
inline constexpr const char kSetIdentityStep[] = "setIdentity";
inline constexpr const char kRegisterPlatformApiStep[] = "registerPlatformApi";
inline constexpr const char kRegisterApiStep[] = "registerApi";
// Level ERROR, when a load step throws and the plugin goes on with what was
// declared before: %1 short name, %2 the step, %3 the exception's text.
inline constexpr const char kLoadStepFailed[] = "%1: %2 failed during load: %3";
// The same for an exception without a text: %1 short name, %2 the step.
inline constexpr const char kLoadStepFailedWithoutText[] = "%1: %2 failed during load";

// --- Events ------------------------------------------------------------------------------------

// The event every resource change is published under, and the first entry
// of every per-resource event name.
inline constexpr const char kJsonApiEvent[] = "OnJsonApiEvent";
// The joint of the entries of a per-resource event name.
inline constexpr char kJsonApiNameSeparator = '_';
// The URI's first segment whose per-resource names keep six entries, not four.
inline constexpr const char kPlatformConfigSegment[] = "zel-platform-config";

// The path that conversion messages of a delivered payload print.
inline constexpr const char kPayloadPath[] = "<result>";

// Level WARN, at most once a second per event name: an event whose payload does not convert to
// its handler's type is dropped. %1 the event's name, %2 the conversion's message.
inline constexpr const char kEventDropped[] = "Event '%1' dropped: %2";

// --- Service proxy -----------------------------------------------------------------------------

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

// --- The platform's declarations ---------------------------------------------------------------

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

// --- Telemetry ---------------------------------------------------------------------------------

// Telemetry events are posted here, the event name appended unescaped.
inline constexpr const char kTelemetryUrlPrefix[] = "/telemetry/v1/events/";

// --- Outgoing requests -------------------------------------------------------------------------

// A parameter did not convert to a value; status 400, nothing is sent.
inline constexpr const char kParametersNotConverted[] =
    "Request not sent: Error converting parameters for {method} {url}: {error}";

// The response carries an error text; the status is the response's.
inline constexpr const char kErrorResponse[] = "Error response for {method} {url}: {error}";

// The body stream failed, or its text is not JSON; status 0.
inline constexpr const char kStreamNotRead[] =
    "Error reading streamed response for {method} {url}: {error}";

// The body did not convert to a value or to the requested type; status 0.
inline constexpr const char kResponseNotConverted[] =
    "Error converting response for {method} {url}: {error}";

// The cause given when the stream's read function fails.
inline constexpr const char kStreamReadError[] = "Stream read error";

// The label of the wait around a yield to the host.
inline constexpr const char kYieldWaitLabel[] = "Wait: yield";

// The cause given when the parameters cannot be copied for the host.
inline constexpr const char kParametersOutOfMemory[] = "Out of memory";

// The path of the conversions of a response's body.
inline constexpr const char kResultPath[] = "<result>";

}  // namespace zel::plugin::messages
