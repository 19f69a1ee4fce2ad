#include "host/dev/cli/options.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "host/conversions/text_template.h"
#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/hosting/zel_maps_defaults.h"
#include "host/dev/new_project/sdk_layout.h"
#include "host/loading/program_path.h"

namespace zel::host::cli {

namespace {

// Options that take a value.
constexpr std::string_view kValueOptions[] = {
    "--plugin",       "--version", "--game-data", "--mock", "--swagger-ui", "--body",
    "--content-type", "--header",  "--arg",       "--port", "--allow-host"};

bool takesValue(std::string_view option) {
  for (std::string_view known : kValueOptions) {
    if (known == option) return true;
  }
  return false;
}

// A host name as a Host header names it: no scheme, path, space or control.
bool isHostName(std::string_view text) {
  if (text.empty() || text.size() > 255) return false;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte >= 0x7F || c == '/' || c == '@' || c == '?' || c == '#') return false;
  }
  return true;
}

std::optional<std::pair<std::string, std::string>> splitPair(std::string_view text) {
  std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return std::make_pair(std::string(text.substr(0, equals)), std::string(text.substr(equals + 1)));
}

// Applies one option with its value; false with the reason in error.
bool applyValue(CliOptions& options, std::string_view option, std::string_view value,
                std::string& error) {
  if (option == "--plugin") {
    options.pluginPath = value;
  } else if (option == "--version") {
    std::optional<ApiVersion> version = parseApiVersion(value);
    if (!version) {
      error = fillTemplate(messages::kNotAVersion, {value});
      return false;
    }
    options.version = *version;
  } else if (option == "--game-data") {
    options.gameDataDirectory = value;
  } else if (option == "--mock") {
    std::optional<MockFolderSpec> mock = parseMockSpec(value);
    if (!mock) {
      error = fillTemplate(messages::kNotAMock, {value});
      return false;
    }
    options.mocks.push_back(std::move(*mock));
  } else if (option == "--swagger-ui") {
    options.swaggerUiDirectory = value;
  } else if (option == "--body") {
    options.bodyFile = std::string(value);
  } else if (option == "--content-type") {
    options.contentType = std::string(value);
  } else if (option == "--header" || option == "--arg") {
    std::optional<std::pair<std::string, std::string>> pair = splitPair(value);
    if (!pair || (option == "--header" && pair->first.empty())) {
      error = fillTemplate(messages::kNotAPair, {option, value});
      return false;
    }
    (option == "--header" ? options.headers : options.arguments).push_back(std::move(*pair));
  } else if (option == "--port") {
    int port = -1;
    auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (failure != std::errc() || end != value.data() + value.size() || port < 0 || port > 65535) {
      error = fillTemplate(messages::kNotAPort, {value});
      return false;
    }
    options.port = port;
  } else if (option == "--allow-host") {
    if (!isHostName(value)) {
      error = fillTemplate(messages::kNotAHost, {value});
      return false;
    }
    options.allowedHosts.emplace_back(value);
  }
  return true;
}

}  // namespace

std::optional<CliOptions> parseOptions(int argc, char** argv, std::string& error) {
  CliOptions options;
  options.command = std::string(kDefaultCommand);
  // The defaults lie around the program itself (see sdk_layout.h); the game
  // data only when it was installed with it.
  SdkLayout layout = sdkLayout(programPath());
  options.pluginPath = layout.defaultPlugin.string();
  std::error_code ignored;
  if (std::filesystem::is_directory(layout.gameDataMock, ignored)) {
    options.gameDataDirectory = layout.gameDataMock.string();
  }
  options.swaggerUiDirectory = layout.swaggerUi.string();
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
    } else if (option == "--verbose" || option == "-v") {
      options.verbose = true;
    } else if (option == "--openapi") {
      options.openApi = true;
    } else if (option == "--reload") {
      options.reload = true;
    } else if (takesValue(option)) {
      if (index + 1 == argc) {
        error = fillTemplate(messages::kMissingValue, {option});
        return std::nullopt;
      }
      if (!applyValue(options, option, argv[++index], error)) return std::nullopt;
    } else if (option.empty() || option.front() != '-' || option == "-") {
      options.operands.emplace_back(option);
    } else {
      error = fillTemplate(messages::kUnknownOption, {option});
      return std::nullopt;
    }
  }
  const Command* command = findCommand(options.command);
  const std::size_t operands = options.operands.size();
  if (!options.help && (operands < command->operands || operands > command->maxOperands)) {
    const std::string least = std::to_string(command->operands);
    error = command->operands == command->maxOperands
                ? fillTemplate(messages::kOperandCount, {options.command, least})
                : fillTemplate(messages::kOperandRange,
                               {options.command, least, std::to_string(command->maxOperands)});
    return std::nullopt;
  }
  return options;
}

void printUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: zel-host [COMMAND] [OPERANDS] [OPTIONS]\n\n"
               "  zel-host call METHOD PATH [--body FILE] [--content-type T]\n"
               "                [--header name=value]... [--arg name=JSON]...\n"
               "  zel-host describe [--openapi]\n"
               "  zel-host serve [--port N] [--swagger-ui DIR] [--reload] [--allow-host H]...\n"
               "  zel-host new NAME [DIR]\n\n");
  SdkLayout layout = sdkLayout(programPath());
  std::string plugin = layout.defaultPlugin.string();
  std::string gameData = layout.gameDataMock.string();
  std::string swaggerUi = layout.swaggerUi.string();
  std::fprintf(out, "  --plugin PATH      the plugin library (default %s)\n", plugin.c_str());
  std::fprintf(out, "  --version X.Y.Z    the plugin API version the host announces (default %s)\n",
               kDefaultHostVersion.text().c_str());
  std::fprintf(out,
               "  --game-data DIR    the game data the host serves: --mock %s=DIR\n"
               "                     (default %s, when present)\n",
               std::string(kGameDataPrefix).c_str(), gameData.c_str());
  std::fprintf(out,
               "  --mock /PREFIX=DIR answer the plugin's requests under /PREFIX with the files\n"
               "                     of DIR (repeatable; the longest prefix answers)\n");
  std::fprintf(out,
               "  --verbose          log each request with its status and time\n"
               "  --body FILE        the request body (\"-\": standard input)\n"
               "  --content-type T   the body's type (default from the file name, else JSON)\n"
               "  --header n=v       a request header (repeatable)\n"
               "  --arg n=JSON       a host argument; an empty name is positional (repeatable)\n"
               "  --openapi          describe as an OpenAPI 3.1 document\n"
               "  --port N           the port to serve on, 127.0.0.1 only (default 8080; 0: any)\n"
               "  --swagger-ui DIR   the API browser's files (default %s)\n"
               "  --reload           load a copy of the plugin and reload it when its file\n"
               "                     changes (a rebuild), on the same port\n"
               "  --allow-host H     also answer requests whose Host is H (NAME: any port;\n"
               "                     NAME:PORT), e.g. behind a proxy (repeatable)\n\n",
               swaggerUi.c_str());
  std::fprintf(out, "commands:\n");
  for (const Command& command : commands()) {
    std::fprintf(out, "  %-12.*s %.*s\n", static_cast<int>(command.name.size()),
                 command.name.data(), static_cast<int>(command.summary.size()),
                 command.summary.data());
  }
}

}  // namespace zel::host::cli
