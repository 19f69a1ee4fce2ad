// zel-host describe [--openapi]: the plugin's API description as JSON.
#include <cstdio>

#include "host/api_document.h"
#include "host/cli/command_support.h"
#include "host/cli/commands.h"
#include "host/json_value.h"

namespace zel::host::cli {

int runDescribe(const CliOptions& options) {
  DevHost host(devHostOptions(options));
  if (!startOrReport(host)) return kExitFailure;
  ApiDocumentInfo info{host.shortName(), host.pluginVersion().text()};
  HostValue document = options.openApi ? openApiDocument(host.catalog(), info)
                                       : describeDocument(host.catalog(), info);
  std::string text = toJson(document, JsonStyle::Indented);
  std::printf("%s\n", text.c_str());
  return kExitOk;
}

}  // namespace zel::host::cli
