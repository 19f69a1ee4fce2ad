// The library's event-tracing providers. Four providers are registered with
// the system when the logger is first created (that is, while the plugin
// loads) and unregistered when the library is unloaded; where the system has
// no event tracing every call here does nothing.
//
//   if (isEnabled(kLogProvider, kLogMessageEvent)) writeLogMessage(level, mask, text);
//   writeThreadName(zel::platform::currentThreadId(), "Main thread");
//
// A provider's events are switched on and off by trace consumers through the
// system, which calls the provider's enable callback on a thread of its own.
// Only the logger uses them (zel::diagnostics::internal).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "diagnostics/platform/platform.h"

namespace zel::diagnostics::internal {

inline constexpr std::size_t kLifecycleProvider = 0;
inline constexpr std::size_t kThreadProvider = 1;  // thread names
inline constexpr std::size_t kLogProvider = 2;     // log messages
inline constexpr std::size_t kRequestProvider = 3;
inline constexpr std::size_t kProviderCount = 4;

// Event indexes within their provider.
inline constexpr std::size_t kLoadEvent = 0;        // lifecycle: the library was loaded
inline constexpr std::size_t kThreadNameEvent = 0;  // threads: id and name
inline constexpr std::size_t kLogMessageEvent = 0;  // log: level, mask, text
inline constexpr std::size_t kRequestEvent = 0;     // requests: method and URL

// One provider: its GUID, the events it declares and which of them a
// consumer has enabled.
class TraceProvider {
 public:
  static constexpr std::size_t kMaxEvents = 4;

  TraceProvider(const platform::TraceGuid& guid, const platform::TraceEventDescriptor* events,
                std::size_t eventCount);
  ~TraceProvider();
  TraceProvider(const TraceProvider&) = delete;
  TraceProvider& operator=(const TraceProvider&) = delete;

  // Registers with the system (once); false where tracing is unavailable.
  bool registerProvider();
  void unregisterProvider();

  // The enable callback: stores what the consumer asks for and recomputes
  // each event: enabled when its level is not above the requested level and
  // its keyword is 0 or matches (any bit of anyKeywords, all bits of
  // allKeywords). Disabling clears every event.
  void onEnable(bool enabled, std::uint8_t level, std::uint64_t anyKeywords,
                std::uint64_t allKeywords);

  bool isEventEnabled(std::size_t event) const;
  bool write(std::size_t event, const platform::TraceData* data, std::uint32_t count) const;

 private:
  platform::TraceGuid guid_;
  platform::TraceEventDescriptor events_[kMaxEvents] = {};
  std::size_t eventCount_;
  std::uint64_t handle_ = 0;
  std::atomic<bool> enabled_[kMaxEvents] = {};
  platform::TraceRegistration registration_;
};

// Registers the four providers (once) and, if the thread provider is
// enabled, names the calling thread "Main thread".
void start();

bool isEnabled(std::size_t provider, std::size_t event);
// A null name is sent as "NULL".
void writeThreadName(std::uint32_t threadId, const char* name);
void writeLogMessage(std::int32_t level, std::uint64_t mask, const char* text);

}  // namespace zel::diagnostics::internal
