// Outgoing requests: calling the REST-style endpoints of other plugins
// through the host. The request goes out synchronously; the answer comes
// back inline as a FlatValue or as a stream that is pulled in chunks, with a
// yield to the host ("Wait: yield") while no data has arrived yet.
//
//   RequestResult<std::vector<BindingValue>> maps =
//       plugin.request<std::vector<BindingValue>>(HttpMethod::Get,
//       "/zel-game-data/assets/v1/maps.json");
//   if (maps.failed()) log(maps.error().message);   // "Error response for GET /...: ..."
//
//   RequestResult<void> sent = plugin.requestWithParameters(
//       HttpMethod::Post, "/telemetry/v1/events/x", {requestArgument("count", 3)});
//
// Every failure is a value: a RequestResult carries an ErrorInfo with the
// status, the message and the message's named fields (method, url, error).
// The calling thread blocks until the answer is complete; during a yield the
// host may run other work of the plugin on it, so callers must not hold
// locks that such work needs. These are the bodies of the request members of
// PluginBase (plugin/plugin_base.h), which is what plugins call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "api/http_method.h"
#include "binding/convert_native.h"
#include "binding/value.h"
#include "boundary/host_messages.h"
#include "diagnostics/log_field.h"
#include "plugin/internal/host_channel.h"
#include "plugin/internal/messages.h"

namespace zel {

class TypeRegistry;

// Why a request failed: a status code (0 when none applies), the message,
// and the message's named fields: method, url and error, all texts.
struct ErrorInfo {
  std::uint32_t status = 0;
  std::string message;
  FieldMap fields;
};

// The result value of a request, or the ErrorInfo of its failure.
template <typename T>
class [[nodiscard]] RequestResult {
 public:
  RequestResult(T value) : value_(std::move(value)) {}
  RequestResult(ErrorInfo error) : error_(std::move(error)), failed_(true) {}

  [[nodiscard]] bool failed() const noexcept { return failed_; }
  [[nodiscard]] bool ok() const noexcept { return !failed_; }
  // Only while ok().
  [[nodiscard]] T& value() { return *value_; }
  [[nodiscard]] const T& value() const { return *value_; }
  [[nodiscard]] const ErrorInfo& error() const noexcept { return error_; }

 private:
  std::optional<T> value_;
  ErrorInfo error_;
  bool failed_ = false;
};

template <>
class [[nodiscard]] RequestResult<void> {
 public:
  RequestResult() = default;
  RequestResult(ErrorInfo error) : error_(std::move(error)), failed_(true) {}

  [[nodiscard]] bool failed() const noexcept { return failed_; }
  [[nodiscard]] bool ok() const noexcept { return !failed_; }
  [[nodiscard]] const ErrorInfo& error() const noexcept { return error_; }

 private:
  ErrorInfo error_;
  bool failed_ = false;
};

// One named parameter of requestWithParameters: the native value (which the
// caller keeps alive during the call) and its conversion routine.
struct RequestArgument {
  using Convert = void (*)(ValueNode& output, const void* value, const TypeRegistry* registry,
                           ConversionStatus& status);

  std::string_view name;
  const void* value;
  Convert convert;
};

template <typename T>
[[nodiscard]] RequestArgument requestArgument(std::string_view name, const T& value) {
  return RequestArgument{name, &value,
                         [](ValueNode& output, const void* native, const TypeRegistry* registry,
                            ConversionStatus& status) {
                           NativeType<T>::toValue(output, *static_cast<const T*>(native),
                                                  namedTypeOf<T>(registry), registry, status);
                         }};
}

namespace plugin::internal {

// The largest body buffer reserved up front from a stream's size hint;
// bigger bodies grow as they arrive.
inline constexpr std::uint32_t kMaxReservedBody = 16u << 20;

// The size of each read offered to a body stream.
inline constexpr std::uint32_t kStreamChunk = 4096;

// The method code as sent: 1 to 8 unchanged, anything else 0.
[[nodiscard]] std::uint32_t sentMethodCode(HttpMethod method) noexcept;

// An ErrorInfo from one of the four templates of
// plugin/internal/messages.h.
[[nodiscard]] ErrorInfo requestError(const char* tmpl, std::uint32_t status, HttpMethod method,
                                     std::string_view url, std::string_view cause);

// Sends the request with the given parameter entries (none, or one holding
// every named parameter) into the caller's zero-filled response. Fails with
// "Error response for ..." when the response carries an error text; the
// response stays filled either way, for the caller to release.
RequestResult<void> send(const HostChannel& host, HttpMethod method, const char* url,
                         HostResponse& response, const RequestParameter* parameters,
                         std::uint32_t parameterCount);

// Converts the arguments into one structure, sends it as the request's one
// parameter and releases the response.
RequestResult<void> sendWithArguments(const HostChannel& host, const TypeRegistry* registry,
                                      HttpMethod method, const char* url,
                                      std::span<const RequestArgument> arguments);

// Pulls the response's body stream into text, yielding to the host while
// no data has arrived; the stream is closed on success and failure alike.
// False when a read fails.
[[nodiscard]] bool readBodyStream(const HostChannel& host, HostResponse& response,
                                  std::string& text);

// Sends the request and reads its answer (the streamed JSON text, or the
// inline body) into value; the response is released once in every case.
RequestResult<void> fetchValue(const HostChannel& host, HttpMethod method, const char* url,
                               BindingValue& value);

// The answer converted to T with the registry.
template <typename T>
RequestResult<T> request(const HostChannel& host, const TypeRegistry* registry, HttpMethod method,
                         const char* url) {
  BindingValue value;
  RequestResult<void> fetched = fetchValue(host, method, url, value);
  if (fetched.failed()) return ErrorInfo(fetched.error());
  ConversionStatus status;
  T result{};
  toNative(status, result, value, plugin::messages::kResultPath, registry);
  if (!status.ok()) {
    return requestError(plugin::messages::kResponseNotConverted, 0, method,
                        url != nullptr ? url : "", status.errorMessage());
  }
  return result;
}

}  // namespace plugin::internal
}  // namespace zel
