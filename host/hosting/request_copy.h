// The host's copy of a request record the plugin sent through the HostApi
// table, taken during the call so that it stays readable after the plugin
// has freed its own records, and the texts read from such records.
//
//   RecordedRequest copy = copyHostRequest(*request);
//   requestMethodName(copy);    // "GET", or the custom method
//
// Plain functions; the records are those of host/scripted_response.h.
#pragma once

#include <string>
#include <string_view>

#include "boundary/host_api.h"
#include "host/scripted_response.h"

namespace zel::host {

// A copy of what a HostRequest carries, taken while the caller's records are
// valid. Null texts read as empty (url) or absent (the optional ones).
[[nodiscard]] RecordedRequest copyHostRequest(const HostRequest& request);

// A text handed in by the plugin; null reads as empty.
[[nodiscard]] std::string textOrEmpty(const char* text);

// The request's method as a name: its custom method, or the standard name.
[[nodiscard]] std::string_view requestMethodName(const RecordedRequest& request);

}  // namespace zel::host
