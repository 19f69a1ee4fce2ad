// The goal rows every benchmark program prints after its runs: a candidate's
// median time, its reference's median time from the same run, the ratio and
// whether it meets the goal. scripts/bench gathers the rows of all programs
// into one table.
//
//   GoalReporter reporter;                       // keeps the median of each run
//   benchmark::RunSpecifiedBenchmarks(&reporter);
//   reporter.row("1", "JSON read", "BM_JsonZel", "BM_JsonRapidJsonDom", 1.5);
//
// Run with --benchmark_repetitions=N for medians; a single run reports itself.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace zel::bench {

class GoalReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!median && run.run_type != Run::RT_Iteration) continue;
      Sample& sample = samples_[run.run_name.str()];
      // A median replaces the single repetitions it summarises.
      if (median || !sample.fromMedian) {
        sample.time = run.GetAdjustedCPUTime();
        sample.fromMedian = median;
        for (const auto& [name, counter] : run.counters) sample.counters[name] = counter.value;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Time per iteration of a run, in the unit the run reports (0 when missing).
  [[nodiscard]] double time(const std::string& name) const {
    const auto found = samples_.find(name);
    return found != samples_.end() ? found->second.time : 0.0;
  }

  // A counter of a run (0 when missing).
  [[nodiscard]] double counter(const std::string& name, const std::string& counterName) const {
    const auto found = samples_.find(name);
    if (found == samples_.end()) return 0.0;
    const auto value = found->second.counters.find(counterName);
    return value != found->second.counters.end() ? value->second : 0.0;
  }

  // Prints one goal row: `limit` is the largest ratio that meets the goal, or,
  // with `atLeast`, the smallest. A limit of 0 prints the ratio without a goal.
  void row(const char* goal, const char* what, const std::string& candidate,
           const std::string& reference, double limit, bool atLeast = false,
           const char* unit = "ms") const {
    const double a = time(candidate);
    const double b = time(reference);
    if (a <= 0 || b <= 0) {
      std::printf("GOAL|%s|%s|%s|missing|%s|missing||no\n", goal, what, candidate.c_str(),
                  reference.c_str());
      return;
    }
    printRow(goal, what, candidate, a, reference, b, a / b, limit, atLeast, unit);
  }

  // A row whose ratio meets the goal inside [low, high].
  static void printBandRow(const char* goal, const char* what, const std::string& candidate,
                           double candidateFigure, const std::string& reference,
                           double referenceFigure, double low, double high, const char* unit) {
    if (candidateFigure <= 0 || referenceFigure <= 0) {
      std::printf("GOAL|%s|%s|%s|missing|%s|missing||no\n", goal, what, candidate.c_str(),
                  reference.c_str());
      return;
    }
    const double ratio = candidateFigure / referenceFigure;
    std::printf("GOAL|%s|%s|%s|%.4g %s|%s|%.4g %s|%.3f|%.2f to %.2f|%s\n", goal, what,
                candidate.c_str(), candidateFigure, unit, reference.c_str(), referenceFigure, unit,
                ratio, low, high, ratio >= low && ratio <= high ? "yes" : "NO");
  }

  // A row whose figures are not times (bytes, for instance).
  static void printRow(const char* goal, const char* what, const std::string& candidate,
                       double candidateFigure, const std::string& reference, double referenceFigure,
                       double ratio, double limit, bool atLeast, const char* unit) {
    char target[32] = "not set";
    const char* met = "-";
    if (limit > 0) {
      std::snprintf(target, sizeof target, "%s %.2f", atLeast ? ">=" : "<=", limit);
      met = (atLeast ? ratio >= limit : ratio <= limit) ? "yes" : "NO";
    }
    std::printf("GOAL|%s|%s|%s|%.4g %s|%s|%.4g %s|%.3f|%s|%s\n", goal, what, candidate.c_str(),
                candidateFigure, unit, reference.c_str(), referenceFigure, unit, ratio, target,
                met);
  }

 private:
  struct Sample {
    double time = 0;
    bool fromMedian = false;
    std::map<std::string, double> counters;
  };
  std::map<std::string, Sample> samples_;
};

}  // namespace zel::bench
