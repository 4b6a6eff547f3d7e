// Speed of the converged fill-in on contour-like models of growing size: the
// steps it takes (which should not grow), the time of a whole solve, and the
// time per pixel and step.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>

#include "image/Plane.h"
#include "reconstruct/ConvergedSolver.h"

namespace filamorph {
namespace {

// Samples in bands a few pixels wide along circles, with the levels of a
// smooth picture, as a contour model lays them; the layout scales with the
// size, so every size shows the same picture.
struct BandModel {
  Plane<uint8_t> sparseness;
  Plane<uint8_t> depth;
};

BandModel bandModel(int size) {
  BandModel model;
  model.sparseness.allocate(size, size, true);
  model.depth.allocate(size, size, true);
  std::mt19937 random(2024u);
  const double scale = size / 512.0;
  std::uniform_real_distribution<double> position(0.0, size);
  std::uniform_real_distribution<double> radius(10.0 * scale, 120.0 * scale);
  for (int circle = 0; circle < 28; ++circle) {
    const double centreRow = position(random);
    const double centreCol = position(random);
    const double circleRadius = radius(random);
    for (int r = 0; r < size; ++r) {
      for (int c = 0; c < size; ++c) {
        if (std::fabs(std::hypot(r - centreRow, c - centreCol) - circleRadius) > 1.5) continue;
        model.sparseness[r][c] = 1;
        model.depth[r][c] =
            static_cast<uint8_t>(128.0 + 100.0 * std::sin(r * 0.03 / scale) * std::cos(c * 0.05 / scale));
      }
    }
  }
  return model;
}

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_ConvergedSolve(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const auto threads = static_cast<int32_t>(state.range(1));
  const BandModel model = bandModel(size);
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
