#pragma once
// Runs the registered benchmarks and ends with each one's time as a ratio to `baseline`,
// measured in the same run, so that figures compare across machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kelna::bench {

inline int RunAgainst(const std::string& baseline, int argc, char** argv) {
  struct Reporter : benchmark::ConsoleReporter {
    std::vector<std::pair<std::string, double>> times;
    void ReportRuns(const std::vector<Run>& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (const Run& run : runs)
        if (run.run_type == Run::RT_Iteration)
          times.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
    }
  } reporter;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  double base = 0;
  for (const auto& [name, time] : reporter.times)
    if (name.starts_with(baseline)) base = time;
  if (base <= 0) return 0;
  std::printf("\n%-40s %10s\n", ("ratio to " + baseline).c_str(), "x");
  for (const auto& [name, time] : reporter.times) std::printf("%-40s %10.2f\n", name.c_str(), time / base);
  return 0;
}

}  // namespace kelna::bench
