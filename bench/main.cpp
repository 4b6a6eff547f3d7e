// The benchmarks run under the command-line tool's heap policy: a repeated
// solve then reuses the pages of the one before, and measures the work of the
// solve rather than how the system hands out fresh pages.

#include <benchmark/benchmark.h>

#include "base/HeapPolicy.h"

int main(int argc, char** argv) {
  filamorph::keepFreedBlocksInTheHeap();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
