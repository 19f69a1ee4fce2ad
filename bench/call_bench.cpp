// One complete call of a routed function the way the host makes it (the
// FunctionRecord's callback: route match, argument binding and conversion,
// handler, result conversion into the response, and the response's release)
// against calling the same handler directly with its native argument.
// Prints the ratio of the two (a goal row for scripts/bench) after the runs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "api/describe_registry.h"
#include "api/outcome.h"
#include "api/route_declarer.h"
#include "bench/goal_table.h"
#include "binding/type_registry.h"
#include "boundary/description_records.h"
#include "boundary/method_codes.h"
#include "diagnostics/format.h"

namespace {

struct MapRecord {
  std::int64_t id = 0;
  std::string name;
  std::string gameMode;
  std::string gameMutator;
  bool isDefault = false;
  std::vector<std::string> tags;
};

// The catalogue the handler answers from, like the maps service's.
class Catalogue {
 public:
  Catalogue() {
    for (std::int64_t id = 1; id <= 64; ++id) {
      maps_[id] = MapRecord{id,          "Map " + std::to_string(id),    "CLASSIC", "",
                            id % 2 == 0, {"Summoner", "Rift", "Classic"}};
    }
  }

  zel::Outcome<MapRecord> byId(std::int64_t id) const {
    const auto found = maps_.find(id);
    if (found == maps_.end())
      return zel::notFound(zel::formatPositional("No map with id %lld", id));
    return found->second;
  }

 private:
  std::unordered_map<std::int64_t, MapRecord> maps_;
};

struct Fixture {
  Fixture() {
    registry.registerStruct<MapRecord>("ZelMapsBenchMap")
        .field("id", &MapRecord::id)
        .field("name", &MapRecord::name)
        .field("gameMode", &MapRecord::gameMode)
        .field("gameMutator", &MapRecord::gameMutator)
        .field("isDefault", &MapRecord::isDefault)
        .field("tags", &MapRecord::tags);
    zel::RouteDeclarer routes(registry, {});
    routes.declare(zel::HttpMethod::Get, "/zel-maps/v1/map/{id}", catalogue, &Catalogue::byId)
        .pathArgument("id");
    description = zel::buildApiDescription(registry);
    record = static_cast<const zel::FunctionRecord*>(description.functions);
    request.method = zel::kMethodGet;
    request.url = "/zel-maps/v1/map/42";
    request.context = const_cast<void*>(record->function.context);
  }

  Catalogue catalogue;
  zel::TypeRegistry registry;
  zel::ApiDescription description{};
  const zel::FunctionRecord* record = nullptr;
  zel::HostRequest request{};
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

void completeCall(benchmark::State& state) {
  Fixture& f = fixture();
  zel::HostResponse response{};
  for (auto _ : state) {
    f.record->callback(&response, &f.request);
    benchmark::DoNotOptimize(response.body.kind);
    response.release(&response);
  }
}
BENCHMARK(completeCall);

void directCall(benchmark::State& state) {
  Fixture& f = fixture();
  std::int64_t id = 42;
  for (auto _ : state) {
    benchmark::DoNotOptimize(id);
    zel::Outcome<MapRecord> map = f.catalogue.byId(id);
    benchmark::DoNotOptimize(map.value().name.data());
  }
}
BENCHMARK(directCall);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zel::bench::GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // The call path's goal is not set yet; the ratio is reported.
  reporter.row("6", "complete call / direct call", "completeCall", "directCall", 50, false, "ns");
  benchmark::Shutdown();
  return 0;
}
