#include "plugin/internal/request_sending.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "binding/convert_flat.h"
#include "boundary/method_codes.h"
#include "diagnostics/format.h"
#include "diagnostics/named_template.h"
#include "formats/json_reader.h"
#include "plugin/messages.h"

namespace zel::plugin::internal {
namespace {

std::string_view urlText(const char* url) noexcept {
  return url != nullptr ? std::string_view(url) : std::string_view();
}

// Calls the response's release function once, when the scope ends.
class ReleaseGuard {
 public:
  explicit ReleaseGuard(HostResponse& response) noexcept : response_(response) {}
  ~ReleaseGuard() {
    if (response_.release != nullptr) {
      ResponseReleaseFunction release = response_.release;
      response_.release = nullptr;
      release(&response_);
    }
  }
  ReleaseGuard(const ReleaseGuard&) = delete;
  ReleaseGuard& operator=(const ReleaseGuard&) = delete;

 private:
  HostResponse& response_;
};

void yieldToHost(const HostChannel& host) {
  host.beginWait(plugin::messages::kYieldWaitLabel, 0);
  host.yield();
  host.endWait();
}

}  // namespace

std::uint32_t sentMethodCode(HttpMethod method) noexcept {
  const std::uint32_t code = httpMethodCode(method);
  return code >= kMethodDelete && code <= kMethodCustom ? code : kMethodNone;
}

ErrorInfo requestError(const char* tmpl, std::uint32_t status, HttpMethod method,
                       std::string_view url, std::string_view cause) {
  ErrorInfo error;
  error.status = status;
  error.message = formatNamed(tmpl, error.fields, httpMethodName(method), url, cause);
  return error;
}

RequestResult<void> send(const HostChannel& host, HttpMethod method, const char* url,
                         HostResponse& response, const RequestParameter* parameters,
                         std::uint32_t parameterCount) {
  HostRequest request{};
  request.method = sentMethodCode(method);
  request.url = url != nullptr ? url : "";
  request.parameters = parameterCount != 0 ? parameters : nullptr;
  request.parameterCount = request.parameters != nullptr ? parameterCount : 0;
  request.handleOrRequestId = host.pluginHandle();
  host.sendRequest(&response, &request);
  if (response.error != nullptr) {
    return requestError(plugin::messages::kErrorResponse, response.status, method, urlText(url),
                        response.error);
  }
  return {};
}

RequestResult<void> sendWithArguments(const HostChannel& host, const TypeRegistry* registry,
                                      HttpMethod method, const char* url,
                                      std::span<const RequestArgument> arguments) {
  BindingValue structure;
  structure.makeStructure();
  for (const RequestArgument& argument : arguments) {
    ConversionStatus status;
    argument.convert(structure.field(argument.name), argument.value, registry, status);
    if (!status.ok()) {
      return requestError(plugin::messages::kParametersNotConverted, 400, method, urlText(url),
                          status.errorMessage());
    }
  }

  RequestParameter parameter{};
  struct FlatGuard {
    FlatValue& value;
    ~FlatGuard() { clearFlatValue(value); }
  } flatGuard{parameter.value};
  if (!valueToFlat(parameter.value, structure, registry)) {
    ErrorInfo error;
    error.message = plugin::messages::kParametersOutOfMemory;
    return error;
  }

  HostResponse response{};
  ReleaseGuard release(response);
  return send(host, method, url, response, &parameter, 1);
}

bool readBodyStream(const HostChannel& host, HostResponse& response, std::string& text) {
  struct CloseGuard {
    HostResponse& response;
    ~CloseGuard() {
      if (response.streamClose != nullptr) response.streamClose(response.streamContext);
    }
  } close{response};

  // The hint is trusted only so far: a bigger body grows as it arrives.
  const auto hint = static_cast<std::uint32_t>(response.sizeHint & 0xFFFFFFFFu);
  text.reserve(text.size() + std::min(hint, kMaxReservedBody));

  std::array<char, kStreamChunk> buffer;
  std::uint8_t more = 1;
  while (more != 0) {
    std::uint32_t length = kStreamChunk;
    if (response.streamRead(response.streamContext, buffer.data(), &length, &more) == 0) {
      return false;
    }
    length = std::min(length, kStreamChunk);
    text.append(buffer.data(), length);
    if (length < kStreamChunk && more != 0) yieldToHost(host);
  }
  return true;
}

RequestResult<void> fetchValue(const HostChannel& host, HttpMethod method, const char* url,
                               BindingValue& value) {
  HostResponse response{};
  ReleaseGuard release(response);
  RequestResult<void> sent = send(host, method, url, response, nullptr, 0);
  if (sent.failed()) return sent;

  if (response.streamRead != nullptr) {
    std::string text;
    if (!readBodyStream(host, response, text)) {
      return requestError(plugin::messages::kStreamNotRead, 0, method, urlText(url),
                          plugin::messages::kStreamReadError);
    }
    value = readJson(text.c_str());
    if (!value.ok()) {
      return requestError(plugin::messages::kStreamNotRead, 0, method, urlText(url),
                          value.errorMessage());
    }
    return {};
  }

  const FlatConversion read = flatToValue(value, response.body, plugin::messages::kResultPath);
  if (!read.ok()) {
    return requestError(plugin::messages::kResponseNotConverted, 0, method, urlText(url),
                        read.errorMessage());
  }
  return {};
}

RequestResult<void> fetchInto(const HostChannel& host, const TypeRegistry* registry,
                              HttpMethod method, const char* url, void* target,
                              ConvertAnswer convert) {
  BindingValue value;
  RequestResult<void> fetched = fetchValue(host, method, url, value);
  if (fetched.failed()) return fetched;
  ConversionStatus status;
  convert(status, target, value, plugin::messages::kResultPath, registry);
  if (!status.ok()) {
    return requestError(plugin::messages::kResponseNotConverted, 0, method, urlText(url),
                        status.errorMessage());
  }
  return {};
}

}  // namespace zel::plugin::internal
