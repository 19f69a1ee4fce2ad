#include "host/dev/hosting/file_watcher.h"

#include <system_error>

namespace zel::host {

FileSignature fileSignature(const std::filesystem::path& file) {
  std::error_code failure;
  FileSignature signature;
  signature.size = std::filesystem::file_size(file, failure);
  if (failure) return FileSignature{};
  signature.modified = std::filesystem::last_write_time(file, failure);
  if (failure) return FileSignature{};
  signature.exists = true;
  return signature;
}

bool ChangeDetector::observe(const FileSignature& current) {
  if (current == accepted_) {
    candidate_.reset();
    return false;
  }
  if (candidate_ && *candidate_ == current && current.exists) {
    accepted_ = current;
    candidate_.reset();
    return true;
  }
  candidate_ = current;
  return false;
}

FileWatcher::FileWatcher(std::filesystem::path file, std::chrono::milliseconds interval,
                         std::function<void()> changed)
    : file_(std::move(file)), interval_(interval), changed_(std::move(changed)) {}

FileWatcher::~FileWatcher() {
  stop();
}

void FileWatcher::start() {
  if (thread_.joinable()) return;
  stopping_ = false;
  // Taken here, not on the thread: a change right after start() counts.
  thread_ = std::thread(
      [this, detector = ChangeDetector(fileSignature(file_))]() mutable { run(detector); });
}

void FileWatcher::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FileWatcher::run(ChangeDetector& detector) {
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
    lock.unlock();
    if (detector.observe(fileSignature(file_))) changed_();
    lock.lock();
  }
}

}  // namespace zel::host
