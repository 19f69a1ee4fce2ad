// Every text of the outgoing requests, in one place. The four request errors
// are brace templates compiled by zel::formatNamed with the fields method
// (the method's name), url and error (the cause), in that order.
//
//   ErrorInfo error = requestError(kErrorResponse, status, HttpMethod::Get, url, cause);
//
// The texts are static literals of the program.
#pragma once

namespace zel::requests::messages {

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

}  // namespace zel::requests::messages
