#include "plugin/internal/telemetry.h"

#include <string>

#include "plugin/messages.h"
#include "plugin/plugin_base.h"

namespace zel::plugin::internal {

std::future<RequestResult<void>> PluginTelemetrySender::sendTelemetryEvent(
    std::string_view eventName, std::span<const RequestArgument> parameters) {
  std::promise<RequestResult<void>> promise;
  std::future<RequestResult<void>> future = promise.get_future();

  std::string url(plugin::messages::kTelemetryUrlPrefix);
  url += eventName;
  promise.set_value(plugin_->requestWithParameters(HttpMethod::Post, url.c_str(), parameters));
  return future;
}

}  // namespace zel::plugin::internal
