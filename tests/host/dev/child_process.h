// Runs a program of the build as a child process and collects what it wrote
// to standard output and standard error, for the command-line tests. Works on
// Linux and on Windows (also under wine).
#pragma once

#include <string>

namespace zel::host::testing_support {

struct ChildResult {
  std::string output;  // standard output and standard error, interleaved
  bool started = false;
  int exitCode = -1;     // when the program returned or exited
  bool aborted = false;  // ended by the standard abort
};

// programPath: an absolute path on Linux, a file name next to the test
// program on Windows. arguments are passed through the shell unquoted.
ChildResult runChild(const std::string& programPath, const std::string& arguments);

}  // namespace zel::host::testing_support
