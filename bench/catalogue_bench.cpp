// Catalogue loading through the real plugin: a region change makes the
// plugin fetch both game-data documents from our host and rebuild its
// catalogue. Measured for 1,000, 10,000 and 100,000 variants (four variants
// a map), with the peak bytes of a load from the plugin's own counters, and
// a lookup on each catalogue. The goal rows compare the time and the peak
// bytes per variant of the largest load with those of the smallest.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bench/goal_table.h"
#include "boundary/method_codes.h"
#include "host/fakes/recording_host_api.h"
#include "host/function_caller.h"
#include "host/plugin_host.h"

namespace zel::bench {
namespace {

// The plugin is driven through our host library, whose names read unqualified here.
using namespace host;

constexpr int kVariantsPerMap = 4;

// Appends each piece in turn: no temporary strings summed first, which g++ 12
// also misreads as overlapping copies (-Wrestrict).
template <typename... Pieces>
void append(std::string& text, const Pieces&... pieces) {
  (text += ... += pieces);
}

std::string mapsDocument(int maps) {
  std::string text = "[";
  for (int id = 1; id <= maps; ++id) {
    if (id > 1) text += ',';
    append(text, R"({"id":)", std::to_string(id), R"(,"name":"Map )", std::to_string(id),
           R"(","description":"A map of the benchmark","mapStringId":"M)", std::to_string(id),
           R"(","platformId":"P1","platformName":"Platform","properties":{"size":[)",
           std::to_string(id % 7), ",", std::to_string(id % 11), "]}}");
  }
  return text + "]";
}

std::string assetsDocument(int maps) {
  static const char* modes[] = {"CLASSIC", "ARENA", "SIEGE", "RUSH"};
  std::string text = "{";
  for (int id = 1; id <= maps; ++id) {
    if (id > 1) text += ',';
    append(text, "\"", std::to_string(id), "\":[");
    for (int v = 0; v < kVariantsPerMap; ++v) {
      if (v > 0) text += ',';
      append(text, R"({"gameMode":")", modes[v], R"(","isDefault":)", v == 0 ? "true" : "false",
             R"(,"gameModeName":"Mode )", std::to_string(v), R"(","assets":{"icon":"icons/)",
             std::to_string(id), R"(.png","splash":"s.png"}})");
    }
    text += "]";
  }
  return text + "}";
}

struct LoadedPlugin {
  RecordingHostApi api;
  PluginHost host{PluginLibrary::open(ZEL_PLUGIN_PATH)};

  explicit LoadedPlugin(int maps) {
    // The host counts the announcements; keeping every catalogue it is sent
    // would measure the host's own memory.
    api.recordEventPayloads(false);
    api.answer(kMethodGet, "/zel-game-data/assets/v1/maps.json",
               ScriptedResponse::withStreamedText(mapsDocument(maps)));
    api.answer(kMethodGet, "/zel-game-data/assets/v1/map-assets/map-assets.json",
               ScriptedResponse::withStreamedText(assetsDocument(maps)));
    if (!host.load({18, 0, 0}) || !host.attach(api.api(), 1)) std::abort();
  }
};

std::int64_t liveBytes(const MemoryStats& stats) {
  return static_cast<std::int64_t>(stats.bytesAllocated - stats.bytesFreed);
}

void BM_CatalogueLoad(benchmark::State& state) {
  const int variants = static_cast<int>(state.range(0));
  LoadedPlugin plugin(variants / kVariantsPerMap);
  std::int64_t peak = 0;
  std::uint64_t allocations = 0;
  std::uint64_t bytesAllocated = 0;
  for (auto _ : state) {
    const MemoryStats start = plugin.host.memoryStats();
    const std::int64_t before = liveBytes(start);
    plugin.api.deliverEvent("OnRegionLocaleChanged", HostValue::makeNone());
    // The process-wide peak only rises; a load that raises it shows its own peak.
    const MemoryStats after = plugin.host.memoryStats();
    peak = std::max<std::int64_t>(peak, static_cast<std::int64_t>(after.peakLiveBytes) - before);
    allocations = after.allocations - start.allocations;
    bytesAllocated = after.bytesAllocated - start.bytesAllocated;
  }
  state.counters["variants"] = variants;
  state.counters["peak_bytes_per_variant"] = static_cast<double>(peak) / variants;
  // What one load allocates in all, per variant (the last load's figures).
  state.counters["allocations_per_variant"] = static_cast<double>(allocations) / variants;
  state.counters["bytes_allocated_per_variant"] = static_cast<double>(bytesAllocated) / variants;
  state.SetItemsProcessed(state.iterations() * variants);
}
BENCHMARK(BM_CatalogueLoad)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CatalogueLookup(benchmark::State& state) {
  const int variants = static_cast<int>(state.range(0));
  LoadedPlugin plugin(variants / kVariantsPerMap);
  FunctionCaller caller(plugin.host.description());
  CallRequest request;
  request.path = "/zel-maps/v2/map/" + std::to_string(variants / kVariantsPerMap / 2) + "/SIEGE";
  const FunctionInfo* function = caller.route(kMethodGet, request.path);
  if (function == nullptr) std::abort();
  for (auto _ : state) {
    CallReply reply = caller.call(*function, request);
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_CatalogueLookup)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Per-variant figures of a load size: milliseconds and bytes.
void printLinearityRows(const zel::bench::GoalReporter& reporter) {
  const std::string small = "BM_CatalogueLoad/1000";
  const std::string large = "BM_CatalogueLoad/100000";
  const double smallTime = reporter.time(small) / 1000 * 1000;    // us per variant
  const double largeTime = reporter.time(large) / 100000 * 1000;  // us per variant
  zel::bench::GoalReporter::printBandRow("7", "load time per variant, 100,000 / 1,000", large,
                                         largeTime, small, smallTime, 0.8, 1.2, "us");
  zel::bench::GoalReporter::printBandRow("7", "peak bytes per variant, 100,000 / 1,000", large,
                                         reporter.counter(large, "peak_bytes_per_variant"), small,
                                         reporter.counter(small, "peak_bytes_per_variant"), 0.8,
                                         1.2, "B");
}

}  // namespace
}  // namespace zel::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zel::bench::GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  zel::bench::printLinearityRows(reporter);
  benchmark::Shutdown();
  return 0;
}
