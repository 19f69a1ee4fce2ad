// The host boundary: the table of host functions the plugin calls, the
// connection handed to attach, the plugin's entry points, and the records of
// the load handshake. Plain little-endian records of 32-bit words; every host
// function takes the table itself first; records always cross by pointer.
// Texts cross as zero-terminated pointers owned by the side that made them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "boundary/host_messages.h"

namespace zel {

struct HostApi;
struct ApiDescription;

// The callback handed to subscribe; the host calls it with each event.
using HostEventCallback = std::int32_t (*)(const HostEvent* event);

// Ten entries. Entries whose result the plugin ignores return 0.
struct HostApi {
  std::int32_t (*sendRequest)(HostApi* api, HostResponse* response, const HostRequest* request);
  std::int32_t (*reserved1)(HostApi* api, std::uint32_t a, std::uint32_t b);
  std::int32_t (*sendEvent)(HostApi* api, const HostEvent* event);
  std::int32_t (*subscribe)(HostApi* api, const char* eventName, std::uint32_t pluginHandle,
                            HostEventCallback callback, void* context, std::uint32_t flag);
  std::int32_t (*unsubscribe)(HostApi* api, const char* eventName, std::uint32_t pluginHandle);
  std::int32_t (*reserved5)(HostApi* api, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                            std::uint64_t d, std::uint32_t e);
  std::int32_t (*yield)(HostApi* api);
  std::int32_t (*beginWait)(HostApi* api, const char* label, std::uint32_t flags);
  std::int32_t (*endWait)(HostApi* api);
  std::int32_t (*writeLog)(HostApi* api, std::int32_t level, const char* text);
};

struct HostConnection {
  HostApi* api;
  std::uint32_t pluginHandle;  // copied into every request and subscription
};

// The three functions the host calls after load.
struct PluginEntryPoints {
  std::uint8_t (*attach)(void* plugin, HostConnection* connection);  // nonzero: success
  void (*shutdown)(void* plugin);                                     // stops and destroys
  void (*getMemoryStats)(void* ignored, struct MemoryStats* stats);
};

// The one argument of load_zel_maps. The host fills words 0-2; the plugin
// overwrites words 0-6 on return.
struct HostLoadInfo {
  std::uint32_t major;
  std::uint32_t minor;
  std::uint32_t patch;
  PluginEntryPoints* entryPoints;
  void* plugin;
  const char* shortName;
  const ApiDescription* description;
};

// Fourteen 32-bit words filled by getMemoryStats.
struct MemoryStats {
  std::uint64_t peakLiveBytes;
  std::uint64_t liveAllocationsAtPeak;
  std::uint64_t bytesAllocated;
  std::uint64_t allocations;
  std::uint64_t bytesFreed;
  std::uint64_t frees;
  std::uint32_t reserved[2];  // always 0
};

// The exported entry function.
extern "C" using LoadPluginFunction = std::int32_t(HostLoadInfo* info);

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HostApi) == 40);
static_assert(offsetof(HostApi, writeLog) == 36);
static_assert(sizeof(HostConnection) == 8);
static_assert(offsetof(HostConnection, pluginHandle) == 4);
static_assert(sizeof(PluginEntryPoints) == 12);
static_assert(sizeof(HostLoadInfo) == 28);
static_assert(offsetof(HostLoadInfo, entryPoints) == 12);
static_assert(offsetof(HostLoadInfo, plugin) == 16);
static_assert(offsetof(HostLoadInfo, shortName) == 20);
static_assert(offsetof(HostLoadInfo, description) == 24);
#endif
static_assert(sizeof(MemoryStats) == 56);
static_assert(offsetof(MemoryStats, liveAllocationsAtPeak) == 8);
static_assert(offsetof(MemoryStats, frees) == 40);
static_assert(offsetof(MemoryStats, reserved) == 48);

}  // namespace zel
