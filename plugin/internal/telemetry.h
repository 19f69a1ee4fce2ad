// TelemetrySender: reports a named telemetry event with parameters for the
// plugin object. The sender posts the event to the platform's telemetry
// endpoint, "/telemetry/v1/events/" followed by the name, as an ordinary
// request through the host; the returned future is already satisfied.
//
//   int attempt = 2;
//   std::future<RequestResult<void>> sent = PluginAccess::telemetry(plugin)->sendTelemetryEvent(
//       "login-start", {requestArgument("attempt", attempt)});
//   if (sent.get().failed()) ...   // status 400: a parameter did not convert
//
// The plugin object owns its sender (created at attach); the sender keeps a
// pointer back to it.
#pragma once

#include <future>
#include <initializer_list>
#include <span>
#include <string_view>

#include "plugin/outgoing_request.h"

namespace zel {
class PluginBase;
}  // namespace zel

namespace zel::plugin::internal {

class TelemetrySender {
 public:
  virtual ~TelemetrySender() = default;

  // Blocks until the host answered; the future holds that answer (or the
  // failure of requestWithParameters) and is ready on return.
  [[nodiscard]] virtual std::future<RequestResult<void>> sendTelemetryEvent(
      std::string_view eventName, std::span<const RequestArgument> parameters) = 0;

  [[nodiscard]] std::future<RequestResult<void>> sendTelemetryEvent(
      std::string_view eventName, std::initializer_list<RequestArgument> parameters) {
    return sendTelemetryEvent(eventName, std::span(parameters.begin(), parameters.size()));
  }
};

// The sender of every plugin: posts through the plugin's
// requestWithParameters.
class PluginTelemetrySender final : public TelemetrySender {
 public:
  explicit PluginTelemetrySender(PluginBase& plugin) noexcept : plugin_(&plugin) {}

  using TelemetrySender::sendTelemetryEvent;
  [[nodiscard]] std::future<RequestResult<void>> sendTelemetryEvent(
      std::string_view eventName, std::span<const RequestArgument> parameters) override;

 private:
  PluginBase* plugin_;
};

}  // namespace zel::plugin::internal
