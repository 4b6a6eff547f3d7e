// The benchmarks keep freed blocks in the heap as the command-line tool does:
// a repeated solve then reuses the pages of the one before, and measures the
// work of the solve rather than how the system hands out fresh pages.

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
