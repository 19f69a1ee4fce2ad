#include "host/hosting/request_copy.h"

#include "host/conversions/host_flat_value.h"
#include "host/conversions/method_names.h"

namespace zel::host {

namespace {

std::optional<std::string> optionalText(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

}  // namespace

std::string textOrEmpty(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

std::string_view requestMethodName(const RecordedRequest& request) {
  if (request.method == kMethodCustom && request.customMethod) return *request.customMethod;
  return methodName(request.method);
}

RecordedRequest copyHostRequest(const HostRequest& request) {
  RecordedRequest copy;
  copy.method = request.method;
  copy.url = textOrEmpty(request.url);
  if (request.parameters != nullptr) {
    copy.parameters.reserve(request.parameterCount);
    for (std::uint32_t i = 0; i < request.parameterCount; ++i) {
      const RequestParameter& parameter = request.parameters[i];
      copy.parameters.push_back(
          RecordedParameter{optionalText(parameter.name), readFlatValue(parameter.value)});
    }
  }
  if (request.headers != nullptr) {
    for (std::uint32_t i = 0; i < request.headerCount; ++i) {
      copy.headers.emplace_back(textOrEmpty(request.headers[2 * i]),
                                textOrEmpty(request.headers[2 * i + 1]));
    }
  }
  copy.contentType = optionalText(request.contentType);
  if (request.body != nullptr) {
    copy.body = std::string(static_cast<const char*>(request.body), request.bodyLength);
  }
  copy.pluginHandle = request.handleOrRequestId;
  copy.customMethod = optionalText(request.customMethod);
  copy.context = request.context;
  return copy;
}

}  // namespace zel::host
