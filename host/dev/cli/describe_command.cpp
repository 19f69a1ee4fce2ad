// zel-host describe [--openapi]: the plugin's API description as JSON.
#include <cstdio>
#include <string>

#include "host/conversions/text_template.h"
#include "host/dev/cli/command_support.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/documents/describe_document.h"
#include "host/dev/documents/json_value.h"
#include "host/dev/documents/openapi_document.h"

namespace zel::host::cli {

int runDescribe(const CliOptions& options) {
  DevHost host(devHostOptions(options));
  if (!startOrReport(host)) return kExitFailure;
  ApiDocumentInfo info{host.shortName(), host.pluginVersion().text()};
  HostValue document = options.openApi ? openApiDocument(host.catalog(), info)
                                       : describeDocument(host.catalog(), info);
  std::string text = toJson(document, JsonStyle::Indented);
  std::printf("%s\n", text.c_str());
  const std::size_t loadErrors = host.loadErrors().size();
  if (loadErrors == 0) return kExitOk;
  reportError(fillTemplate(messages::kLoadErrors, {std::to_string(loadErrors)}));
  return kExitFailure;
}

}  // namespace zel::host::cli
