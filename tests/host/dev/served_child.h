// zel-host serve as a child process for the tests (Linux only): started
// through the shell, its port read from the line it prints, ended with
// SIGTERM. Everything it wrote is kept.
//
//   ServedChild child;
//   ASSERT_TRUE(child.start(program + " serve --port 0")) << child.output();
//   httplib::Client client("127.0.0.1", child.port());
//   child.stop();   // also on destruction
#pragma once

#if !defined(_WIN32)

#include <cstdio>
#include <string>

namespace zel::host::testing_support {

class ServedChild {
 public:
  ServedChild() = default;
  ~ServedChild() { stop(); }
  ServedChild(const ServedChild&) = delete;
  ServedChild& operator=(const ServedChild&) = delete;

  // Runs commandLine (a shell command ending in zel-host serve ... --port 0)
  // and waits until it says where it serves; false when it ended first.
  bool start(const std::string& commandLine);
  int port() const { return port_; }
  // The program's own process (the shell runs it in the background), for
  // signals and /proc; 0 before start.
  int pid() const { return pid_; }
  // What it wrote so far (up to the serving line until stopped).
  const std::string& output() const { return output_; }
  // Sends SIGTERM and collects the rest of the output; the exit status, or -1.
  int stop();

 private:
  std::FILE* pipe_ = nullptr;
  int pid_ = 0;
  int port_ = 0;
  std::string output_;
};

}  // namespace zel::host::testing_support

#endif
