#include "tests/host/dev/served_child.h"

#if !defined(_WIN32)

#include <sys/wait.h>
#include <csignal>

namespace zel::host::testing_support {

bool ServedChild::start(const std::string& commandLine) {
  std::string command = "exec 2>&1; " + commandLine + " & echo \"pid:$!\"; wait $!";
  pipe_ = popen(command.c_str(), "r");
  if (pipe_ == nullptr) return false;
  char line[1024];
  while ((pid_ == 0 || port_ == 0) && std::fgets(line, sizeof line, pipe_) != nullptr) {
    output_ += line;
    std::string text(line);
    if (text.rfind("pid:", 0) == 0) pid_ = std::stoi(text.substr(4));
    std::size_t at = text.find("on http://127.0.0.1:");
    if (at != std::string::npos) port_ = std::stoi(text.substr(at + 20));
  }
  return pid_ > 0 && port_ > 0;
}

int ServedChild::stop() {
  if (pipe_ == nullptr) return -1;
  if (pid_ > 0) kill(pid_, SIGTERM);
  char line[1024];
  while (std::fgets(line, sizeof line, pipe_) != nullptr) output_ += line;
  int status = pclose(pipe_);
  pipe_ = nullptr;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zel::host::testing_support

#endif
