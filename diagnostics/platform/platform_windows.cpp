// The platform services on Windows: critical sections, the performance
// counter, GetLocalTime, GetModuleFileNameA, OutputDebugStringA, event
// tracing through Advapi32 (looked up at run time, so a system without it
// simply traces nothing) and VirtualAlloc. The one file of the library that
// includes windows.h.
#if defined(_WIN32)

#include <windows.h>

#include <cstring>

#include "diagnostics/platform/platform.h"

namespace zel::platform {
namespace {

static_assert(sizeof(CRITICAL_SECTION) == (sizeof(void*) == 4 ? 24 : 40));
static_assert(alignof(CRITICAL_SECTION) <= 8);
static_assert(sizeof(TraceEventDescriptor) == 16);
static_assert(offsetof(TraceEventDescriptor, task) == 6);
static_assert(offsetof(TraceEventDescriptor, keyword) == 8);
static_assert(sizeof(TraceGuid) == sizeof(GUID));

CRITICAL_SECTION* section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

// The event-tracing functions of Advapi32, with the system's signatures
// spelled out so that no tracing header is needed.
using EnableCallback = void(WINAPI*)(const GUID* source, ULONG isEnabled, UCHAR level,
                                     ULONGLONG anyKeywords, ULONGLONG allKeywords, void* filterData,
                                     void* context);
using EventRegisterFunction = ULONG(WINAPI*)(const GUID* provider, EnableCallback callback,
                                             void* context, ULONGLONG* handle);
using EventWriteFunction = ULONG(WINAPI*)(ULONGLONG handle, const void* descriptor, ULONG count,
                                          void* data);
using EventUnregisterFunction = ULONG(WINAPI*)(ULONGLONG handle);

// Same layout as EVENT_DATA_DESCRIPTOR.
struct EventData {
  ULONGLONG pointer;
  ULONG size;
  ULONG reserved;
};
static_assert(sizeof(EventData) == 16);

struct TracingFunctions {
  EventRegisterFunction eventRegister = nullptr;
  EventWriteFunction eventWrite = nullptr;
  EventUnregisterFunction eventUnregister = nullptr;
};

// GetProcAddress hands out a generic function pointer; going through
// void (*)() tells the compiler the cast to the real signature is meant.
template <typename Function>
Function lookUp(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loaded once; the library stays loaded for the life of the process.
const TracingFunctions& tracing() {
  static const TracingFunctions functions = [] {
    TracingFunctions loaded;
    HMODULE advapi = LoadLibraryW(L"Advapi32.dll");
    if (advapi == nullptr) return loaded;
    auto registerFunction = lookUp<EventRegisterFunction>(advapi, "EventRegister");
    auto writeFunction = lookUp<EventWriteFunction>(advapi, "EventWrite");
    auto unregisterFunction = lookUp<EventUnregisterFunction>(advapi, "EventUnregister");
    if (registerFunction != nullptr && writeFunction != nullptr && unregisterFunction != nullptr) {
      loaded.eventRegister = registerFunction;
      loaded.eventWrite = writeFunction;
      loaded.eventUnregister = unregisterFunction;
    }
    return loaded;
  }();
  return functions;
}

void WINAPI onTraceEnable(const GUID*, ULONG isEnabled, UCHAR level, ULONGLONG anyKeywords,
                          ULONGLONG allKeywords, void*, void* context) {
  auto* registration = static_cast<TraceRegistration*>(context);
  if (registration == nullptr || registration->onEnable == nullptr) return;
  // 1 enables, 0 disables; 2 (capture state) leaves the settings as they are.
  if (isEnabled > 1) return;
  registration->onEnable(registration->context, isEnabled == 1, level, anyKeywords, allKeywords);
}

}  // namespace

Lock::Lock() noexcept {
  InitializeCriticalSection(section(storage_));
}
Lock::~Lock() {
  DeleteCriticalSection(section(storage_));
}

void Lock::lock() noexcept {
  EnterCriticalSection(section(storage_));
}
void Lock::unlock() noexcept {
  LeaveCriticalSection(section(storage_));
}
bool Lock::try_lock() noexcept {
  return TryEnterCriticalSection(section(storage_)) != FALSE;
}

std::int64_t performanceCounter() noexcept {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

std::int64_t performanceFrequency() noexcept {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

LocalTime localTime() noexcept {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  result.millisecond = now.wMilliseconds;
  return result;
}

std::size_t moduleFileName(char* buffer, std::size_t capacity) noexcept {
  if (buffer == nullptr || capacity == 0) return 0;
  const DWORD size = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
  const DWORD length = GetModuleFileNameA(nullptr, buffer, size);
  // A path that fills the buffer has been cut (and, on older systems, is not
  // terminated).
  if (length == 0 || length >= size) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return length;
}

std::uint32_t currentThreadId() noexcept {
  return GetCurrentThreadId();
}

void debuggerOutput(const char* text) noexcept {
  if (text != nullptr) OutputDebugStringA(text);
}

bool tracingAvailable() noexcept {
  return tracing().eventRegister != nullptr;
}

std::uint64_t traceRegister(const TraceGuid& provider, TraceRegistration* registration) noexcept {
  const TracingFunctions& functions = tracing();
  if (functions.eventRegister == nullptr) return 0;
  GUID guid;
  static_assert(sizeof(guid) == sizeof(provider));
  std::memcpy(&guid, &provider, sizeof(guid));
  ULONGLONG handle = 0;
  if (functions.eventRegister(&guid, &onTraceEnable, registration, &handle) != ERROR_SUCCESS) {
    return 0;
  }
  return handle;
}

bool traceWrite(std::uint64_t handle, const TraceEventDescriptor& event, const TraceData* data,
                std::uint32_t count) noexcept {
  const TracingFunctions& functions = tracing();
  if (functions.eventWrite == nullptr || handle == 0) return false;
  constexpr std::uint32_t kMaxData = 8;
  if (count > kMaxData) return false;
  EventData items[kMaxData] = {};
  for (std::uint32_t i = 0; i < count; ++i) {
    items[i].pointer = reinterpret_cast<std::uintptr_t>(data[i].data);
    items[i].size = data[i].size;
  }
  return functions.eventWrite(handle, &event, count, count == 0 ? nullptr : items) == ERROR_SUCCESS;
}

void traceUnregister(std::uint64_t handle) noexcept {
  const TracingFunctions& functions = tracing();
  if (functions.eventUnregister != nullptr && handle != 0) functions.eventUnregister(handle);
}

void* allocatePages(std::size_t bytes) noexcept {
  if (bytes == 0) return nullptr;
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freePages(void* pages, std::size_t) noexcept {
  if (pages != nullptr) VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace zel::platform

#endif  // defined(_WIN32)
