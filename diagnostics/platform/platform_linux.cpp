// The platform services on Linux (and other POSIX systems): a mutex, the
// monotonic clock, localtime_r, /proc/self/exe, gettid and mmap. There is no
// debugger output channel and no event tracing here.
#if !defined(_WIN32)

#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "diagnostics/platform/platform.h"

namespace zel::platform {

Lock::Lock() noexcept = default;
Lock::~Lock() = default;

void Lock::lock() noexcept {
  mutex_.lock();
}
void Lock::unlock() noexcept {
  mutex_.unlock();
}
bool Lock::try_lock() noexcept {
  return mutex_.try_lock();
}

std::int64_t performanceCounter() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t performanceFrequency() noexcept {
  return 1000000000;
}

LocalTime localTime() noexcept {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm parts{};
  localtime_r(&seconds, &parts);
  LocalTime result;
  result.year = parts.tm_year + 1900;
  result.month = parts.tm_mon + 1;
  result.day = parts.tm_mday;
  result.hour = parts.tm_hour;
  result.minute = parts.tm_min;
  result.second = parts.tm_sec;
  result.millisecond = static_cast<std::int32_t>(now.tv_nsec / 1000000);
  return result;
}

std::size_t moduleFileName(char* buffer, std::size_t capacity) noexcept {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = '\0';
  const ssize_t length = readlink("/proc/self/exe", buffer, capacity);
  // readlink does not terminate, and a result that fills the buffer may be cut.
  if (length <= 0 || static_cast<std::size_t>(length) >= capacity) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return static_cast<std::size_t>(length);
}

std::uint32_t currentThreadId() noexcept {
  return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

void debuggerOutput(const char*) noexcept {}

bool tracingAvailable() noexcept {
  return false;
}

std::uint64_t traceRegister(const TraceGuid&, TraceRegistration*) noexcept {
  return 0;
}

bool traceWrite(std::uint64_t, const TraceEventDescriptor&, const TraceData*,
                std::uint32_t) noexcept {
  return false;
}

void traceUnregister(std::uint64_t) noexcept {}

void* allocatePages(std::size_t bytes) noexcept {
  if (bytes == 0) return nullptr;
  void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

void freePages(void* pages, std::size_t bytes) noexcept {
  if (pages != nullptr && bytes != 0) munmap(pages, bytes);
}

}  // namespace zel::platform

#endif  // !defined(_WIN32)
