// The benchmarks' console output, remembering whether a run ended in an error (a result check that
// failed, an input that could not be read), so that the benchmark then ends with status 1.
#pragma once

#include <benchmark/benchmark.h>

#include <vector>

class CheckedReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) failed = failed || run.error_occurred;
    ConsoleReporter::ReportRuns(runs);
  }
  bool failed = false;
};

// Runs the registered benchmarks with the arguments left in argv (an unknown one refused) through
// `reporter`: the status to end with.
inline int runCheckedBenchmarks(int& argc, char** argv, CheckedReporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return reporter.failed ? 1 : 0;
}
