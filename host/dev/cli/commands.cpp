#include "host/dev/cli/commands.h"

#include <array>

namespace zel::host::cli {

namespace {

constexpr std::array kCommands = {
    Command{"handshake", "load the plugin, attach, print memory statistics, shut down",
            &runHandshake, 0, 0},
    Command{"call", "make one call (METHOD PATH) and print the reply as JSON", &runCall, 2, 2},
    Command{"describe", "print the plugin's API description (JSON or --openapi)", &runDescribe, 0,
            0},
    Command{"serve", "serve the plugin's routes, its API browser and its events over HTTP",
            &runServe, 0, 0},
    Command{"new", "write a new plugin project (NAME [DIR]) that builds against this SDK", &runNew,
            1, 2},
};

}  // namespace

std::span<const Command> commands() {
  return kCommands;
}

const Command* findCommand(std::string_view name) {
  for (const Command& command : kCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

}  // namespace zel::host::cli
