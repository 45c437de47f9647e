#pragma once
// A console reporter that ends with each benchmark's time as a ratio to a baseline measured
// in the same run, so that figures compare across machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace kelna::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::string baseline) : baseline_(std::move(baseline)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        times_.emplace_back(run.benchmark_name(), run.GetAdjustedRealTime());
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    double base = 0;
    for (const auto& [name, time] : times_)
      if (name.rfind(baseline_, 0) == 0) base = time;
    if (base <= 0) return;
    std::printf("\n%-40s %10s\n", ("ratio to " + baseline_).c_str(), "x");
    for (const auto& [name, time] : times_) std::printf("%-40s %10.2f\n", name.c_str(), time / base);
  }

 private:
  std::string baseline_;
  std::vector<std::pair<std::string, double>> times_;
};

// Runs the registered benchmarks and reports them against `baseline`.
inline int RunAgainst(const char* baseline, int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter(baseline);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace kelna::bench
