// The request members of PluginBase; the work is in
// plugin/internal/request_sending.cpp.
#include "plugin/internal/plugin_access.h"
#include "plugin/internal/request_sending.h"
#include "plugin/plugin_base.h"

namespace zel {

RequestResult<void> PluginBase::requestRaw(HttpMethod method, const char* url,
                                           HostResponse& response) {
  return plugin::internal::send(state_->host, method, url, response, nullptr, 0);
}

RequestResult<void> PluginBase::requestWithParameters(HttpMethod method, const char* url,
                                                      std::span<const RequestArgument> parameters) {
  return plugin::internal::sendWithArguments(state_->host, state_->registry.get(), method, url,
                                             parameters);
}

RequestResult<void> PluginBase::fetchInto(HttpMethod method, const char* url, void* target,
                                          ConvertAnswer convert) {
  return plugin::internal::fetchInto(state_->host, state_->registry.get(), method, url, target,
                                     convert);
}

}  // namespace zel
