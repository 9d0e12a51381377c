// The benchmarks' console output, remembering whether a run ended in an error (a result check that
// failed, an input that could not be read), so that the benchmark then ends with status 1.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

// Coloured on a terminal only: piped or redirected, the lines are plain text for scripts.
class CheckedReporter : public benchmark::ConsoleReporter {
 public:
  CheckedReporter()
      : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) failed = failed || run.error_occurred;
    ConsoleReporter::ReportRuns(runs);
  }
  bool failed = false;
};

// Runs the registered benchmarks with the arguments left in argv (an unknown one refused) through
// `reporter`: the status to end with. Its console lines are the only format (--benchmark_out
// writes others to a file).
inline int runCheckedBenchmarks(int& argc, char** argv, CheckedReporter& reporter) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--benchmark_format=", 19) == 0 &&
        std::strcmp(argv[i], "--benchmark_format=console") != 0) {
      std::fprintf(stderr, "%s: only --benchmark_format=console is printed, not \"%s\" "
                           "(--benchmark_out=FILE --benchmark_out_format=json writes JSON)\n",
                   argv[0], argv[i]);
      return 1;
    }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  return reporter.failed ? 1 : 0;
}
