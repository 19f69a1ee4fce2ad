// The sub-commands of zel-host. Each runs with the parsed options and returns
// the process exit code.
//
//   const Command* command = findCommand("call");
//   return command->run(options);
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "host/dev/cli/options.h"

namespace zel::host::cli {

struct Command {
  std::string_view name;
  std::string_view summary;
  int (*run)(const CliOptions& options);
  std::size_t operands;     // how many operands the command takes at least
  std::size_t maxOperands;  // and at most
};

inline constexpr std::string_view kDefaultCommand = "handshake";

std::span<const Command> commands();
const Command* findCommand(std::string_view name);

// Loads the plugin, prints the handshake, attaches, prints the memory
// statistics and shuts down.
int runHandshake(const CliOptions& options);
// Makes one call and prints the reply as indented JSON {status, error,
// result}; exit status 0 for a success, 1 for an error reply.
int runCall(const CliOptions& options);
// Prints the plugin's API description as JSON, or as OpenAPI 3.1.
int runDescribe(const CliOptions& options);
// Serves the plugin over HTTP until interrupted.
int runServe(const CliOptions& options);
// Writes a new plugin project NAME into DIR (default ./NAME), which must not
// exist or be empty.
int runNew(const CliOptions& options);

}  // namespace zel::host::cli
