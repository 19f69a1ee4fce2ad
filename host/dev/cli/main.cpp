// zel-host: our stand-in for the platform's plugin host, on the command line.
#include <cstdio>
#include <new>
#include <string>

#include "host/dev/cli/commands.h"
#include "host/dev/cli/messages.h"
#include "host/dev/cli/options.h"

int main(int argc, char** argv) {
  using namespace zel::host::cli;
  std::string error;
  std::optional<CliOptions> options = parseOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "zel-host: %s\n", error.c_str());
    printUsage(stderr);
    return kExitUsage;
  }
  if (options->help) {
    printUsage(stdout);
    return kExitOk;
  }
  try {
    return findCommand(options->command)->run(*options);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(messages::kOutOfMemory.size()),
                 messages::kOutOfMemory.data());
    return kExitFailure;
  }
}
