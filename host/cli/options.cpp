#include "host/cli/options.h"

#include <cstdio>
#include <string_view>

#include "host/cli/commands.h"
#include "host/cli/messages.h"
#include "host/text_template.h"

namespace zel::host::cli {

std::optional<CliOptions> parseOptions(int argc, char** argv, std::string& error) {
  CliOptions options;
  options.command = std::string(kDefaultCommand);
  options.pluginPath = ZEL_PLUGIN_PATH;
  int index = 1;
  if (index < argc && argv[index][0] != '-') {
    options.command = argv[index++];
    if (findCommand(options.command) == nullptr) {
      error = fillTemplate(messages::kUnknownCommand, {options.command});
      return std::nullopt;
    }
  }
  for (; index < argc; ++index) {
    std::string_view option = argv[index];
    if (option == "--help" || option == "-h") {
      options.help = true;
      continue;
    }
    if (option != "--plugin" && option != "--version") {
      error = fillTemplate(messages::kUnknownOption, {option});
      return std::nullopt;
    }
    if (index + 1 == argc) {
      error = fillTemplate(messages::kMissingValue, {option});
      return std::nullopt;
    }
    std::string_view value = argv[++index];
    if (option == "--plugin") {
      options.pluginPath = value;
    } else if (std::optional<ApiVersion> version = parseApiVersion(value)) {
      options.version = *version;
    } else {
      error = fillTemplate(messages::kNotAVersion, {value});
      return std::nullopt;
    }
  }
  return options;
}

void printUsage(std::FILE* out) {
  std::fprintf(out, "usage: zel-host [COMMAND] [--plugin PATH] [--version X.Y.Z]\n\n");
  std::fprintf(out, "  --plugin PATH     the plugin library (default %s)\n", ZEL_PLUGIN_PATH);
  std::fprintf(out,
               "  --version X.Y.Z   the plugin API version the host announces (default %s)\n\n",
               kDefaultHostVersion.text().c_str());
  std::fprintf(out, "commands:\n");
  for (const Command& command : commands()) {
    std::fprintf(out, "  %-12.*s %.*s\n", static_cast<int>(command.name.size()),
                 command.name.data(), static_cast<int>(command.summary.size()),
                 command.summary.data());
  }
}

}  // namespace zel::host::cli
