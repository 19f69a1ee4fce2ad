// The request members of PluginBase; the work is in plugin/outgoing_request.cpp.
#include "plugin/outgoing_request.h"
#include "plugin/plugin_base.h"

namespace zel {

RequestResult<void> PluginBase::requestRaw(HttpMethod method, const char* url,
                                           HostResponse& response) {
  return plugin::internal::send(hostChannel(), method, url, response, nullptr, 0);
}

RequestResult<void> PluginBase::requestWithParameters(HttpMethod method, const char* url,
                                                      std::span<const RequestArgument> parameters) {
  return plugin::internal::sendWithArguments(hostChannel(), registry_.get(), method, url,
                                             parameters);
}

}  // namespace zel
