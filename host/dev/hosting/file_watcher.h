// FileWatcher: tells when a file has been rewritten and has settled, by
// polling its size and modification time (a build writes a library in
// several steps; the watcher waits until two polls in a row agree).
//
//   FileWatcher watcher("bin/zel_maps.so", std::chrono::milliseconds(300), [&] { reload(); });
//   watcher.start();    // polls on a thread of its own
//   watcher.stop();     // also on destruction
//
// The callback runs on the watcher's thread, one call at a time. The
// settling rule is ChangeDetector, which tests drive without a thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace zel::host {

struct FileSignature {
  bool exists = false;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};

  bool operator==(const FileSignature&) const = default;
};

// The file's signature now; a file that cannot be read is absent.
FileSignature fileSignature(const std::filesystem::path& file);

// Decides from a sequence of polls when the file has changed and settled.
class ChangeDetector {
 public:
  explicit ChangeDetector(FileSignature current) : accepted_(current) {}

  // True once a signature that differs from the last accepted one has been
  // seen in two polls in a row, and the file exists; that signature is then
  // the accepted one. A file that settles empty is reported too, so that
  // the reload fails aloud instead of waiting in silence.
  bool observe(const FileSignature& current);

 private:
  FileSignature accepted_;
  std::optional<FileSignature> candidate_;
};

class FileWatcher {
 public:
  FileWatcher(std::filesystem::path file, std::chrono::milliseconds interval,
              std::function<void()> changed);
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // Takes the file's signature now as the one that is loaded, then polls.
  void start();
  void stop();

 private:
  void run(ChangeDetector& detector);

  std::filesystem::path file_;
  std::chrono::milliseconds interval_;
  std::function<void()> changed_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace zel::host
