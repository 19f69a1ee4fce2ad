// Building and dropping value trees with the records of blobs, enums,
// collections and structures taken from the cell pools, against the same
// trees with every record from the general heap. After the runs the program
// prints, per shape, the CPU time with pools divided by the CPU time without.
//
//   value_tree_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "binding/internal/value_context.h"
#include "binding/value.h"

namespace {

using zel::BindingValue;
using zel::ValueNode;

// Texts made once, outside the timed loops.
struct Texts {
  std::vector<std::string> names;
  std::vector<std::string> modes;
  Texts() {
    for (int i = 0; i < 64; ++i)
      names.push_back(std::string("Map name number ").append(std::to_string(i)));
    for (int i = 0; i < 4; ++i)
      modes.push_back(std::string("GAME_MODE_").append(std::to_string(i)));
  }
};
const Texts& texts() {
  static const Texts instance;
  return instance;
}

// One map variant as the game-data document describes it.
void fillVariant(ValueNode& variant, int i) {
  const Texts& t = texts();
  variant.field("id").setUnsigned(static_cast<std::uint64_t>(i));
  variant.field("name").setString(t.names[static_cast<std::size_t>(i) % t.names.size()]);
  variant.field("gameMode").setString(t.modes[static_cast<std::size_t>(i) % t.modes.size()]);
  variant.field("gameModeShortName").setString("Classic");
  variant.field("isDefault").setBool(i % 3 == 0);
  variant.field("isRGM").setBool(false);
  variant.field("perPositionRequiredSummonerSpells").makeStructure();
  variant.field("mapStringId").setString("SR");
  variant.field("platformId").setEnum(i % 5, 0x1234);
  ValueNode& assets = variant.field("assets");
  assets.field("champ-select-background-sound").setString("/sounds/select.ogg");
  assets.field("icon-default").setString("/icons/default.png");
  assets.field("icon-hover").setString("/icons/hover.png");
  assets.field("game-select-icon-active").setString("/icons/active.png");
  ValueNode& categories = variant.field("categories");
  for (int c = 0; c < 3; ++c) categories.append().setString(t.modes[static_cast<std::size_t>(c)]);
}

// One document: a collection of 60 variants in one tree.
void buildDocument(BindingValue& root) {
  ValueNode& list = root.field("maps");
  list.reserve(60);
  for (int i = 0; i < 60; ++i) fillVariant(list.element(static_cast<std::size_t>(i)), i);
}

// Records converted one by one into standalone values, then moved into the
// result collection, as the conversion of a native vector does.
void buildRecords(BindingValue& root) {
  root.makeCollection();
  root.reserve(60);
  for (int i = 0; i < 60; ++i) {
    BindingValue record;
    fillVariant(record, i);
    root.element(static_cast<std::size_t>(i)) = std::move(record);
  }
}

template <void (*kBuild)(BindingValue&)>
void buildAndDrop(benchmark::State& state) {
  const bool pooled = state.range(0) != 0;
  zel::binding::internal::ValueContext::setCellPoolsEnabledForTest(pooled);
  for (auto _ : state) {
    BindingValue root;
    kBuild(root);
    benchmark::DoNotOptimize(root.size());
  }
  zel::binding::internal::ValueContext::setCellPoolsEnabledForTest(true);
  state.SetLabel(pooled ? "cell pools" : "general heap");
}

BENCHMARK_TEMPLATE(buildAndDrop, buildDocument)->Name("document")->Arg(1)->Arg(0);
BENCHMARK_TEMPLATE(buildAndDrop, buildRecords)->Name("records")->Arg(1)->Arg(0);

// Prints as usual and keeps the mean time of every run by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Repetitions report their mean; a single run reports itself.
      const bool mean = run.run_type == Run::RT_Aggregate && run.aggregate_name == "mean";
      if (!mean && run.run_type != Run::RT_Iteration) continue;
      Sample& sample = samples_[run.run_name.str()];
      if (mean) sample = Sample{};
      if (sample.fromMean && !mean) continue;
      sample.seconds += run.GetAdjustedCPUTime();
      ++sample.count;
      sample.fromMean = mean;
    }
  }

  void printRatios() const {
    for (const char* shape : {"document", "records"}) {
      const auto pooled = samples_.find(std::string(shape) + "/1");
      const auto heap = samples_.find(std::string(shape) + "/0");
      if (pooled == samples_.end() || heap == samples_.end()) continue;
      const double ratio = pooled->second.mean() / heap->second.mean();
      std::printf("%-9s cell pools / general heap = %.3f\n", shape, ratio);
    }
  }

 private:
  struct Sample {
    double seconds = 0;
    int count = 0;
    bool fromMean = false;
    [[nodiscard]] double mean() const { return seconds / count; }
  };
  std::map<std::string, Sample> samples_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
