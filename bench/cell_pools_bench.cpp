// The cell pools of a value context against malloc/free for the 12-byte
// records of collections and structures: 1,024 cells taken and given back in
// order, the same given back in a shuffled order, and an allocation freed at
// once. The pools are those of one long-lived context, as a tree's are while
// it is built; a fresh context per iteration is measured apart.
//
// Each pattern runs twice for the pools. "cold": these are the only cells of
// the process, so every iteration empties the page pool's one reservation,
// which goes back to the operating system and is mapped (and faulted in)
// again by the next. "warm": another context keeps one cell alive, as any
// other live value of a running plugin does, so the reservation stays mapped
// and only the pools themselves are measured.
//
//   cell_pools_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bench/goal_table.h"
#include "binding/internal/cell_pools.h"

namespace {

using zel::binding::internal::CellPools;

constexpr std::size_t kCells = 1024;
constexpr std::size_t kCellBytes = 12;

// The order in which the shuffled runs free their cells, fixed per process.
const std::vector<std::size_t>& shuffledOrder() {
  static const std::vector<std::size_t> order = [] {
    std::vector<std::size_t> indexes(kCells);
    for (std::size_t i = 0; i < kCells; ++i) indexes[i] = i;
    std::uint32_t state = 2024;
    for (std::size_t i = kCells - 1; i > 0; --i) {
      state = state * 1664525u + 1013904223u;
      std::swap(indexes[i], indexes[(state >> 8) % (i + 1)]);
    }
    return indexes;
  }();
  return order;
}

struct Malloc {
  void* allocate() { return std::malloc(kCellBytes); }
  void release(void* cell) { std::free(cell); }
};

struct Pools {
  CellPools pools;
  void* allocate() { return pools.allocate(kCellBytes); }
  void release(void* cell) { pools.release(cell, kCellBytes); }
};

// Another context with one cell on a page of its own, taken from the page
// pool before the measured pools take theirs, so it shares their reservation.
class OtherLiveValue {
 public:
  OtherLiveValue() {
    // Past the 144-byte area: the cells after it come from a page.
    for (std::size_t i = 0; i < CellPools::kAreaBytes / kCellBytes + 1; ++i) {
      cells_.push_back(pools_.allocate(kCellBytes));
    }
  }
  ~OtherLiveValue() {
    for (void* cell : cells_) pools_.release(cell, kCellBytes);
  }

 private:
  CellPools pools_;
  std::vector<void*> cells_;
};

struct WarmPools : Pools {
  OtherLiveValue other;
};

template <typename Allocator>
void inOrder(benchmark::State& state) {
  Allocator allocator;
  std::vector<void*> cells(kCells);
  for (auto _ : state) {
    for (void*& cell : cells) cell = allocator.allocate();
    benchmark::DoNotOptimize(cells.data());
    for (void* cell : cells) allocator.release(cell);
  }
}

template <typename Allocator>
void shuffled(benchmark::State& state) {
  Allocator allocator;
  const std::vector<std::size_t>& order = shuffledOrder();
  std::vector<void*> cells(kCells);
  for (auto _ : state) {
    for (void*& cell : cells) cell = allocator.allocate();
    benchmark::DoNotOptimize(cells.data());
    for (std::size_t i : order) allocator.release(cells[i]);
  }
}

template <typename Allocator>
void pair(benchmark::State& state) {
  Allocator allocator;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kCells; ++i) {
      void* cell = allocator.allocate();
      benchmark::DoNotOptimize(cell);
      allocator.release(cell);
    }
  }
}

// A new context's pools serving one record, as a small standalone value does.
void freshPoolsPair(benchmark::State& state) {
  for (auto _ : state) {
    CellPools pools;
    void* cell = pools.allocate(kCellBytes);
    benchmark::DoNotOptimize(cell);
    pools.release(cell, kCellBytes);
  }
}

void freshMallocPair(benchmark::State& state) {
  for (auto _ : state) {
    void* cell = std::malloc(kCellBytes);
    benchmark::DoNotOptimize(cell);
    std::free(cell);
  }
}

BENCHMARK_TEMPLATE(inOrder, Pools)->Name("pools/inOrder/cold");
BENCHMARK_TEMPLATE(inOrder, WarmPools)->Name("pools/inOrder/warm");
BENCHMARK_TEMPLATE(inOrder, Malloc)->Name("malloc/inOrder");
BENCHMARK_TEMPLATE(shuffled, Pools)->Name("pools/shuffled/cold");
BENCHMARK_TEMPLATE(shuffled, WarmPools)->Name("pools/shuffled/warm");
BENCHMARK_TEMPLATE(shuffled, Malloc)->Name("malloc/shuffled");
BENCHMARK_TEMPLATE(pair, Pools)->Name("pools/pair");
BENCHMARK_TEMPLATE(pair, Malloc)->Name("malloc/pair");
BENCHMARK(freshPoolsPair)->Name("pools/freshContextPair");
BENCHMARK(freshMallocPair)->Name("malloc/freshContextPair");

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  zel::bench::GoalReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Speed-ups: malloc's time over the pools'.
  reporter.row("5", "pools speed-up, 1024 in order", "malloc/inOrder", "pools/inOrder/warm", 2.5,
               true, "ns");
  reporter.row("5", "pools speed-up, 1024 shuffled", "malloc/shuffled", "pools/shuffled/warm", 2.5,
               true, "ns");
  reporter.row("5", "the same, in order, reservation unmapped each time", "malloc/inOrder",
               "pools/inOrder/cold", 0, true, "ns");
  reporter.row("5", "the same, shuffled, reservation unmapped each time", "malloc/shuffled",
               "pools/shuffled/cold", 0, true, "ns");
  reporter.row("5", "pools speed-up, allocate-free pair", "malloc/pair", "pools/pair", 1.0, true,
               "ns");
  reporter.row("5", "pools speed-up, pair in a new context", "malloc/freshContextPair",
               "pools/freshContextPair", 0, true, "ns");
  benchmark::Shutdown();
  return 0;
}
