// The command line of zel-host: an optional sub-command, its operands, then
// options.
//
//   zel-host [handshake] [--plugin PATH] [--version X.Y.Z]
//   zel-host call METHOD PATH [--body FILE] [--content-type T] [--header name=value]...
//                             [--arg name=JSON]...
//   zel-host describe [--openapi]
//   zel-host serve [--port N] [--swagger-ui DIR] [--reload] [--allow-host H]...
//   (every command: --plugin PATH --version X.Y.Z --game-data DIR --mock /PREFIX=DIR
//    --verbose)
//
// Without options the plugin, the game data and the API browser's files are
// found around the program (sdk_layout.h).
//
// parseOptions fills CliOptions or explains what is wrong.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/api_version.h"
#include "host/dev/hosting/mock_folder.h"

namespace zel::host::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CliOptions {
  std::string command;
  std::vector<std::string> operands;  // call: METHOD PATH
  std::string pluginPath;
  ApiVersion version = kDefaultHostVersion;
  std::string gameDataDirectory;  // empty: no game data
  std::vector<MockFolderSpec> mocks;
  std::string swaggerUiDirectory;
  bool verbose = false;
  bool help = false;

  // call
  std::optional<std::string> bodyFile;  // "-": standard input
  std::optional<std::string> contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  // (name, JSON text); an empty name passes a positional argument.
  std::vector<std::pair<std::string, std::string>> arguments;

  // describe
  bool openApi = false;

  // serve
  int port = 8080;
  bool reload = false;  // watch the plugin file and reload it when it changes
  // Hosts served besides the loopback names: "NAME" or "NAME:PORT".
  std::vector<std::string> allowedHosts;
};

// argv[0] is skipped. On a usage error, returns none with the reason in error.
std::optional<CliOptions> parseOptions(int argc, char** argv, std::string& error);

void printUsage(std::FILE* out);

}  // namespace zel::host::cli
