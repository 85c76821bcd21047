// Entry point of the benchmark suite: every column must give the same answers before anything
// is timed; a disagreement aborts the run, so no report is ever made from a broken column.
#include "KQBench.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (!kqb::RunChecks()) {
    std::fprintf(stderr, "columns disagree: no benchmark was run\n");
    std::abort();
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::AddCustomContext("kq_peers", KQ_BENCH_PEERS);
  benchmark::AddCustomContext("kq_checks", "sorted order, find answers, whole-container "
                                           "results, CRC check value agree");
  benchmark::AddCustomContext("kq_max_n", std::to_string(kqb::MaxN()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
