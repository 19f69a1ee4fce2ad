// The sending half of the outgoing requests (plugin/outgoing_request.h):
// the request records built for the host, the body stream pulled in chunks
// with a yield while none has arrived, and the answer read and converted.
// PluginBase's request members call these with the plugin's HostChannel and
// registry; the tests call them with a recording host.
//
//   RequestResult<int> answer = request<int>(host, &registry, HttpMethod::Get, "/x");
//   RequestResult<void> sent = send(host, HttpMethod::Get, "/raw", response, nullptr, 0);
//
// Every function blocks until the host answered and keeps nothing; the
// caller owns the response it passes in.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "api/http_method.h"
#include "binding/convert_native.h"
#include "binding/value.h"
#include "boundary/host_messages.h"
#include "plugin/internal/host_channel.h"
#include "plugin/outgoing_request.h"

namespace zel::plugin::internal {

// The largest body buffer reserved up front from a stream's size hint;
// bigger bodies grow as they arrive.
inline constexpr std::uint32_t kMaxReservedBody = 16u << 20;

// The size of each read offered to a body stream.
inline constexpr std::uint32_t kStreamChunk = 4096;

// The method code as sent: 1 to 8 unchanged, anything else 0.
[[nodiscard]] std::uint32_t sentMethodCode(HttpMethod method) noexcept;

// An ErrorInfo from one of the four templates of plugin/messages.h.
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

// Converts an answer into the caller's result.
using ConvertAnswer = void (*)(ConversionStatus& status, void* target, const BindingValue& value,
                               const char* path, const TypeRegistry* registry);

// Sends the request, reads its answer and converts it into target with the
// registry: "Error converting response ..." when it does not convert.
RequestResult<void> fetchInto(const HostChannel& host, const TypeRegistry* registry,
                              HttpMethod method, const char* url, void* target,
                              ConvertAnswer convert);

// The answer converted to T with the registry.
template <typename T>
RequestResult<T> request(const HostChannel& host, const TypeRegistry* registry, HttpMethod method,
                         const char* url) {
  T result{};
  RequestResult<void> fetched =
      fetchInto(host, registry, method, url, &result,
                [](ConversionStatus& status, void* target, const BindingValue& value,
                   const char* path, const TypeRegistry* types) {
                  toNative(status, *static_cast<T*>(target), value, path, types);
                });
  if (fetched.failed()) return ErrorInfo(fetched.error());
  return result;
}

}  // namespace zel::plugin::internal
