#include "diagnostics/internal/event_tracing.h"

#include <cstring>
#include <iterator>
#include <new>

#include "diagnostics/messages.h"

namespace zel::diagnostics::internal {
namespace {

// Levels as trace consumers know them: 4 informational, 5 verbose.
constexpr std::uint8_t kInformational = 4;
constexpr std::uint8_t kVerbose = 5;

constexpr platform::TraceGuid kProviderGuids[kProviderCount] = {
    {0x6f1d2a83, 0x41c7, 0x4e0b, {0x9a, 0x52, 0x3d, 0x71, 0xc4, 0x08, 0xe2, 0x15}},
    {0x2b8e94d0, 0x7a35, 0x4f62, {0x8c, 0x1e, 0x50, 0xa9, 0x36, 0xdb, 0x47, 0x8f}},
    {0xc93f0e71, 0x15d8, 0x4a29, {0xb7, 0x64, 0xe2, 0x0c, 0x9b, 0x53, 0x1a, 0x6d}},
    {0x58a1c6e4, 0xd20b, 0x47f3, {0xa6, 0x3b, 0x8e, 0x19, 0x75, 0xc2, 0x0f, 0x94}},
};

constexpr platform::TraceEventDescriptor kLifecycleEvents[] = {
    {1, 0, 0, kInformational, 0, 0, 0x1}};
constexpr platform::TraceEventDescriptor kThreadEvents[] = {{1, 0, 0, kInformational, 0, 0, 0x1}};
constexpr platform::TraceEventDescriptor kLogEvents[] = {{1, 0, 0, kInformational, 0, 0, 0x1}};
constexpr platform::TraceEventDescriptor kRequestEvents[] = {{1, 0, 0, kVerbose, 0, 0, 0x2}};

// An event index past its provider's table would only ever read as disabled.
static_assert(kLoadEvent < std::size(kLifecycleEvents));
static_assert(kThreadNameEvent < std::size(kThreadEvents));
static_assert(kLogMessageEvent < std::size(kLogEvents));
static_assert(kRequestEvent < std::size(kRequestEvents));

struct Providers {
  TraceProvider providers[kProviderCount] = {
      {kProviderGuids[0], kLifecycleEvents, std::size(kLifecycleEvents)},
      {kProviderGuids[1], kThreadEvents, std::size(kThreadEvents)},
      {kProviderGuids[2], kLogEvents, std::size(kLogEvents)},
      {kProviderGuids[3], kRequestEvents, std::size(kRequestEvents)},
  };
};

// Never destroyed, so a trace call from a late static destructor still finds
// valid providers; they are unregistered at unload by ProvidersUnregistration.
Providers& providers() {
  alignas(Providers) static unsigned char storage[sizeof(Providers)];
  static Providers* const instance = new (storage) Providers;
  return *instance;
}

struct ProvidersUnregistration {
  ~ProvidersUnregistration() {
    for (TraceProvider& provider : providers().providers) provider.unregisterProvider();
  }
};

void onEnableCallback(void* context, bool enabled, std::uint8_t level, std::uint64_t anyKeywords,
                      std::uint64_t allKeywords) {
  static_cast<TraceProvider*>(context)->onEnable(enabled, level, anyKeywords, allKeywords);
}

}  // namespace

TraceProvider::TraceProvider(const platform::TraceGuid& guid,
                             const platform::TraceEventDescriptor* events, std::size_t eventCount)
    : guid_(guid),
      eventCount_(eventCount < kMaxEvents ? eventCount : kMaxEvents),
      registration_{&onEnableCallback, this} {
  for (std::size_t i = 0; i < eventCount_; ++i) events_[i] = events[i];
}

TraceProvider::~TraceProvider() {
  unregisterProvider();
}

bool TraceProvider::registerProvider() {
  if (handle_ == 0) handle_ = platform::traceRegister(guid_, &registration_);
  return handle_ != 0;
}

void TraceProvider::unregisterProvider() {
  if (handle_ == 0) return;
  platform::traceUnregister(handle_);
  handle_ = 0;
  onEnable(false, 0, 0, 0);
}

void TraceProvider::onEnable(bool enabled, std::uint8_t level, std::uint64_t anyKeywords,
                             std::uint64_t allKeywords) {
  for (std::size_t i = 0; i < eventCount_; ++i) {
    const platform::TraceEventDescriptor& event = events_[i];
    const bool keywordMatches =
        event.keyword == 0 ||
        ((event.keyword & anyKeywords) != 0 && (event.keyword & allKeywords) == allKeywords);
    enabled_[i].store(enabled && event.level <= level && keywordMatches, std::memory_order_release);
  }
}

bool TraceProvider::isEventEnabled(std::size_t event) const {
  return event < eventCount_ && enabled_[event].load(std::memory_order_acquire);
}

bool TraceProvider::write(std::size_t event, const platform::TraceData* data,
                          std::uint32_t count) const {
  if (!isEventEnabled(event) || handle_ == 0) return false;
  return platform::traceWrite(handle_, events_[event], data, count);
}

void start() {
  static const bool started = [] {
    static ProvidersUnregistration unregisterAtUnload;
    Providers& all = providers();
    for (TraceProvider& provider : all.providers) provider.registerProvider();
    if (all.providers[kThreadProvider].isEventEnabled(kThreadNameEvent)) {
      writeThreadName(platform::currentThreadId(), messages::kMainThreadName);
    }
    return true;
  }();
  (void)started;
}

bool isEnabled(std::size_t provider, std::size_t event) {
  return provider < kProviderCount && providers().providers[provider].isEventEnabled(event);
}

void writeThreadName(std::uint32_t threadId, const char* name) {
  const TraceProvider& provider = providers().providers[kThreadProvider];
  if (!provider.isEventEnabled(kThreadNameEvent)) return;
  const char* text = name == nullptr ? "NULL" : name;
  const platform::TraceData data[] = {
      {&threadId, sizeof threadId},
      {text, static_cast<std::uint32_t>(std::strlen(text) + 1)},
  };
  provider.write(kThreadNameEvent, data, 2);
}

void writeLogMessage(std::int32_t level, std::uint64_t mask, const char* text) {
  const TraceProvider& provider = providers().providers[kLogProvider];
  if (!provider.isEventEnabled(kLogMessageEvent)) return;
  const char* message = text == nullptr ? "" : text;
  const platform::TraceData data[] = {
      {&level, sizeof level},
      {&mask, sizeof mask},
      {message, static_cast<std::uint32_t>(std::strlen(message) + 1)},
  };
  provider.write(kLogMessageEvent, data, 3);
}

}  // namespace zel::diagnostics::internal
