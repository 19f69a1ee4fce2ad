// The operating-system services of the library, behind one small interface:
// locks, the high-resolution counter, local time, the executable's path, the
// thread id, the debugger output, event tracing and page-granular memory.
// platform_windows.cpp and platform_linux.cpp implement it; nothing else in
// the library includes an operating-system header for these services.
//
//   zel::platform::Lock lock;
//   std::lock_guard guard(lock);
//   void* pages = zel::platform::allocatePages(65536);  // freePages(pages, 65536)
//
// Everything here is process-wide and thread-safe unless a function says
// otherwise; the caller owns the buffers it passes in.
#pragma once

#include <cstddef>
#include <cstdint>

#if !defined(_WIN32)
#include <mutex>
#endif

namespace zel::platform {

// A non-recursive lock: a critical section on Windows, a mutex elsewhere.
// Satisfies Lockable, so std::lock_guard and std::scoped_lock work with it.
// Code must not take a Lock it already holds (a critical section would allow
// it, a mutex would not).
class Lock {
 public:
  Lock() noexcept;
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock() noexcept;
  void unlock() noexcept;
  bool try_lock() noexcept;

 private:
#if defined(_WIN32)
  // Room for a CRITICAL_SECTION (24 bytes on 32-bit, 40 on 64-bit Windows);
  // platform_windows.cpp checks the size.
  alignas(8) unsigned char storage_[sizeof(void*) == 4 ? 24 : 40];
#else
  std::mutex mutex_;
#endif
};

// The high-resolution counter and its ticks per second.
std::int64_t performanceCounter() noexcept;
std::int64_t performanceFrequency() noexcept;

struct LocalTime {
  std::int32_t year = 0;
  std::int32_t month = 0;  // 1 to 12
  std::int32_t day = 0;    // 1 to 31
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t millisecond = 0;
};

LocalTime localTime() noexcept;

// Writes the full path of the running executable, zero-terminated, into
// buffer and returns its length; 0 (and an empty text) when unknown or when
// it does not fit.
std::size_t moduleFileName(char* buffer, std::size_t capacity) noexcept;

std::uint32_t currentThreadId() noexcept;

// Hands a zero-terminated text to an attached debugger; does nothing where
// the system has no such channel.
void debuggerOutput(const char* text) noexcept;

// Event tracing. The system's tracing functions are looked up once, on first
// use; where they are missing every call below does nothing and registration
// hands out the null handle 0.
struct TraceGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// Same layout as the system's event descriptor.
struct TraceEventDescriptor {
  std::uint16_t id;
  std::uint8_t version;
  std::uint8_t channel;
  std::uint8_t level;
  std::uint8_t opcode;
  std::uint16_t task;
  std::uint64_t keyword;
};

struct TraceData {
  const void* data;
  std::uint32_t size;
};

// Called by the system whenever a trace consumer enables or disables the
// provider; the registration must outlive the provider's handle.
struct TraceRegistration {
  void (*onEnable)(void* context, bool enabled, std::uint8_t level, std::uint64_t anyKeywords,
                   std::uint64_t allKeywords);
  void* context;
};

bool tracingAvailable() noexcept;
std::uint64_t traceRegister(const TraceGuid& provider, TraceRegistration* registration) noexcept;
bool traceWrite(std::uint64_t handle, const TraceEventDescriptor& event, const TraceData* data,
                std::uint32_t count) noexcept;
void traceUnregister(std::uint64_t handle) noexcept;

// Whole pages, reserved and committed read-write; null on failure or for 0
// bytes. freePages takes the pointer and the byte count given to
// allocatePages.
void* allocatePages(std::size_t bytes) noexcept;
void freePages(void* pages, std::size_t bytes) noexcept;

}  // namespace zel::platform
