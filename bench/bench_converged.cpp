// Speed of the converged fill-in on contour-like models of growing size: the
// steps it takes (which should not grow), the time of a whole solve, and the
// time per pixel and step.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <ctime>
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

// The solver runs on one thread; its processor time is not inflated by other
// work on a shared machine.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_ConvergedSolve(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const BandModel model = bandModel(size);
  ConvergedSolveReport report;
  double seconds = 0.0;
  double steps = 0.0;
  for (auto _ : state) {
    const double start = threadSeconds();
    Plane<float> work = solveConvergedFillIn(model.sparseness, model.depth, 0.5f, report);
    const double elapsed = threadSeconds() - start;
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
BENCHMARK(BM_ConvergedSolve)->Arg(256)->Arg(512)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvergedSolve)->Arg(2048)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace filamorph
