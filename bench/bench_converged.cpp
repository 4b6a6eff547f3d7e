// Speed of the converged fill-in on contour-like models of growing size: the
// steps it takes (which should not grow), the time of a whole solve, and the
// time per pixel and step.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "BandModel.h"
#include "image/Plane.h"
#include "reconstruct/ConvergedSolver.h"

namespace filamorph {
namespace {

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_ConvergedSolve(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const auto threads = static_cast<int32_t>(state.range(1));
  const BandModel model = bandModel(size, size / 512.0);
  ConvergedSolveReport report;
  double seconds = 0.0;
  double steps = 0.0;
  for (auto _ : state) {
    const double start = wallSeconds();
    Plane<float> work = solveConvergedFillIn(model.sparseness, model.depth, 0.5f, threads, report);
    const double elapsed = wallSeconds() - start;
    benchmark::DoNotOptimize(work.data());
    state.SetIterationTime(elapsed);
    seconds += elapsed;
    steps += report.iterations;
  }
  const double solves = static_cast<double>(state.iterations());
  state.counters["iterations"] = steps / solves;
  state.counters["passes"] = report.passes;
  state.counters["ms"] = seconds * 1e3 / solves;
  state.counters["ns_per_pixel_iteration"] = seconds * 1e9 / (static_cast<double>(size) * size * steps);
}
BENCHMARK(BM_ConvergedSolve)
    ->ArgNames({"size", "threads"})
    ->ArgsProduct({{256, 512}, {1, 2}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvergedSolve)
    ->ArgNames({"size", "threads"})
    ->Args({2048, 2})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace filamorph
