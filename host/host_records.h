// What the recording host keeps of each call the plugin makes through the
// HostApi table: copies of everything the plugin passed, taken during the
// call, so they stay readable after the plugin has freed its own records.
//
//   for (const RecordedRequest& request : host.requests()) { request.url; }
//
// Plain values, and the copy of a request record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "boundary/host_api.h"
#include "host/host_value.h"

namespace zel::host {

// The ten entries of the table, in table order.
enum class HostCall : std::uint8_t {
  SendRequest,
  Reserved1,
  SendEvent,
  Subscribe,
  Unsubscribe,
  Reserved5,
  Yield,
  BeginWait,
  EndWait,
  WriteLog,
};

struct RecordedParameter {
  std::optional<std::string> name;  // none: a positional argument
  HostValue value;
};

struct RecordedRequest {
  std::uint32_t method = 0;
  std::string url;
  std::vector<RecordedParameter> parameters;
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> contentType;
  std::optional<std::string> body;  // bodyLength bytes
  std::uint32_t pluginHandle = 0;
  std::optional<std::string> customMethod;
  void* context = nullptr;
};

struct RecordedEvent {
  std::string name;
  HostValue payload;
  std::uint32_t flags = 0;
  void* context = nullptr;
};

struct RecordedSubscription {
  std::string eventName;
  std::uint32_t pluginHandle = 0;
  HostEventCallback callback = nullptr;
  void* context = nullptr;
  std::uint32_t flag = 0;
};

struct RecordedUnsubscription {
  std::string eventName;
  std::uint32_t pluginHandle = 0;
};

struct RecordedWait {
  std::string label;
  std::uint32_t flags = 0;
};

struct RecordedLog {
  std::int32_t level = 0;
  std::string text;
};

// A copy of what a HostRequest carries, taken while the caller's records are
// valid. Null texts read as empty (url) or absent (the optional ones).
[[nodiscard]] RecordedRequest copyHostRequest(const HostRequest& request);

// A text handed in by the plugin; null reads as empty.
[[nodiscard]] std::string textOrEmpty(const char* text);

// The request's method as a name: its custom method, or the standard name.
[[nodiscard]] std::string_view requestMethodName(const RecordedRequest& request);

}  // namespace zel::host
