#include "tests/host/dev/child_process.h"

#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <csignal>
#endif

namespace zel::host::testing_support {

namespace {

#if defined(_WIN32)
// The runtime's exit code after abort().
constexpr int kAbortExitCode = 3;

std::string besideThisProgram(const std::string& fileName) {
  std::string self = _pgmptr != nullptr ? _pgmptr : "";
  std::size_t slash = self.find_last_of("\\/");
  return slash == std::string::npos ? fileName : self.substr(0, slash + 1) + fileName;
}
#endif

}  // namespace

ChildResult runChild(const std::string& programPath, const std::string& arguments) {
  ChildResult result;
#if defined(_WIN32)
  std::string command = besideThisProgram(programPath) + " " + arguments + " 2>&1";
  std::FILE* pipe = _popen(command.c_str(), "r");
#else
  std::string command = programPath + " " + arguments + " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
#endif
  if (pipe == nullptr) return result;
  result.started = true;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, count);
#if defined(_WIN32)
  result.exitCode = _pclose(pipe);
  result.aborted = result.exitCode == kAbortExitCode;
#else
  int status = pclose(pipe);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  // A shell that did not hand its process over reports the signal as 128 + N.
  result.aborted =
      (WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) || result.exitCode == 128 + SIGABRT;
#endif
  return result;
}

}  // namespace zel::host::testing_support
