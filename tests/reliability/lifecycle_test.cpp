// The real library through its boundary, over and over in one process: load,
// attach, a call and a catalogue reload, shutdown; and the library itself
// unloaded and loaded again. After the first cycle has built what the library
// keeps for the whole process, no cycle may leave a byte behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "api/describe_registry.h"
#include "boundary/description_records.h"
#include "boundary/host_api.h"
#include "boundary/method_codes.h"
#include "host/plugin_host.h"
#include "host/sdk_fakes/quiet_host.h"
#include "tests/reliability/game_data_documents.h"

namespace zel::reliability {
namespace {

using host::QuietHost;

constexpr int kCycles = 1000;
constexpr int kReloads = 20;

std::int64_t liveBytes(const MemoryStats& stats) {
  const std::uint64_t allocated = stats.bytesAllocated;
  const std::uint64_t freed = stats.bytesFreed;
  return static_cast<std::int64_t>(allocated - freed);
}

// One load, attach, call, reload event and shutdown of the plugin in library;
// returns the library's live bytes once the plugin is gone.
std::int64_t runCycle(host::PluginLibrary library, bool& ok) {
  QuietHost quiet(kGameDataDocuments);
  host::PluginHost plugin(std::move(library));
  ok = plugin.load(host::kDefaultHostVersion) && plugin.attach(quiet.api(), 3);
  if (ok) {
    const ApiDescription* description = plugin.description();
    const auto* records = static_cast<const FunctionRecord*>(description->functions);
    for (std::uint32_t i = 0; i < description->functionCount; ++i) {
      if (std::string_view(records[i].urlTemplate) != "/zel-maps/v1/map/{id}") continue;
      HostRequest request{};
      request.method = kMethodGet;
      request.url = "/zel-maps/v1/map/42";
      request.context = const_cast<void*>(records[i].function.context);
      HostResponse response{};
      records[i].callback(&response, &request);
      ok = response.error == nullptr && response.release != nullptr;
      if (response.release != nullptr) response.release(&response);
    }
    ok = ok && quiet.deliver("OnRegionLocaleChanged") == 1;
  }
  plugin.shutdown();
  return liveBytes(plugin.memoryStats());
}

TEST(LifecycleTest, ThousandLoadAttachShutdownCyclesKeepNothing) {
  // Held open throughout, so the library and its counters stay in memory.
  host::PluginLibrary keeper = host::PluginLibrary::open(ZEL_PLUGIN_PATH);
  ASSERT_TRUE(keeper.isOpen()) << keeper.error();

  bool ok = false;
  const std::int64_t settled = runCycle(host::PluginLibrary::open(ZEL_PLUGIN_PATH), ok);
  ASSERT_TRUE(ok);
  for (int cycle = 1; cycle < kCycles; ++cycle) {
    const std::int64_t live = runCycle(host::PluginLibrary::open(ZEL_PLUGIN_PATH), ok);
    ASSERT_TRUE(ok) << "cycle " << cycle;
    ASSERT_EQ(live, settled) << "cycle " << cycle;
  }
}

TEST(LifecycleTest, UnloadAndReloadOfTheLibraryKeepNothing) {
  bool ok = false;
  std::int64_t first = 0;
  for (int reload = 0; reload < kReloads; ++reload) {
    host::PluginLibrary library = host::PluginLibrary::open(ZEL_PLUGIN_PATH);
    ASSERT_TRUE(library.isOpen()) << library.error();
    // The cycle closes the library when its host goes; whatever stays behind
    // in a library that is not unloaded must not grow from load to load.
    const std::int64_t live = runCycle(std::move(library), ok);
    ASSERT_TRUE(ok) << "reload " << reload;
    if (reload == 0) first = live;
    EXPECT_EQ(live, first) << "reload " << reload;
  }
}

}  // namespace
}  // namespace zel::reliability
