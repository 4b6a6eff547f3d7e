// Speed of the converged fill-in on contour-like models of growing size: the
// steps it takes (which should not grow), the time of a whole solve, and the
// time per pixel and step; and on the coded file of a 512 x 512 photograph,
// whose fill-in holds pixels at the bounds.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "BandModel.h"
#include "commands/CodecPipeline.h"
#include "image/Plane.h"
#include "reconstruct/ConvergedSolver.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Solves the model planes over and over; counts steps, passes and time.
void measureSolves(benchmark::State& state, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                   int32_t threads) {
  ConvergedSolveReport report;
  double seconds = 0.0;
  double steps = 0.0;
  for (auto _ : state) {
    const double start = wallSeconds();
    Plane<float> work = solveConvergedFillIn(sparseness, depth, 0.5f, threads, report);
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
  state.counters["ns_per_pixel_iteration"] =
      seconds * 1e9 / (static_cast<double>(sparseness.rows()) * sparseness.cols() * steps);
}

void BM_ConvergedSolve(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const BandModel model = bandModel(size, size / 512.0);
  measureSolves(state, model.sparseness, model.depth, static_cast<int32_t>(state.range(1)));
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

// The astronaut photograph coded as `encode` codes it, and read back as
// `decode` reads it.
void BM_ConvergedSolveOfPhotograph(benchmark::State& state) {
  const std::string coded =
      (std::filesystem::temp_directory_path() / ("bench_astronaut_" + std::to_string(getpid()) + ".flm")).string();
  CodecPipeline encoder;
  const bool made =
      encoder.analyse(testing::testImage("a_astronaut_512x512_24.bmp").string(), AnalysisStage::ModelBuilt).ok() &&
      encoder.select(ContourChoice{}).ok() && encoder.writeCodedFile(coded).ok();
  CodecPipeline decoder;
  const bool read = made && decoder.readCodedFile(coded).ok();
  std::filesystem::remove(coded);
  if (!read) {
    state.SkipWithError("photograph not found in tests/data/images, or not coded");
    return;
  }
  measureSolves(state, decoder.reconstruction().sparsenessPlane, decoder.reconstruction().depthPlane,
                static_cast<int32_t>(state.range(0)));
}
BENCHMARK(BM_ConvergedSolveOfPhotograph)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace filamorph
