// Edge detection on a 512 x 512 photograph, whole and stage by stage.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "commands/CommandParameters.h"
#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace {

using filamorph::EdgeDetector;
using filamorph::ImageControl;

// The shared machine slows single runs at random: the fastest repetition is
// the least disturbed one.
double fastest(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

// Loads the astronaut photograph into a detector set up as Detect Contours does.
bool loadPhotograph(EdgeDetector& detector, benchmark::State& state) {
  ImageControl image;
  const std::string path = filamorph::testing::testImage("a_astronaut_512x512_24.bmp").string();
  if (!filamorph::readBmpFile(path, image.picture).ok() || !detector.importBitmap(image).ok()) {
    state.SkipWithError("photograph not found");
    return false;
  }
  filamorph::setDetectContoursParameters(detector);
  return true;
}

void BM_DetectEdges(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  for (auto _ : state) {
    detector.detectEdges();
    benchmark::DoNotOptimize(detector.edgeMap.data());
  }
}
BENCHMARK(BM_DetectEdges)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

// The first stage as detection runs it: both derivative convolutions.
void BM_StageConvolution(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  for (auto _ : state) {
    detector.computeGradients();
    benchmark::DoNotOptimize(detector.gradientX.data());
  }
}
BENCHMARK(BM_StageConvolution)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_StageSuppression(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  for (auto _ : state) {
    detector.suppressNonMaxima();
    benchmark::DoNotOptimize(detector.candidateMap.data());
  }
}
BENCHMARK(BM_StageSuppression)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

// Hysteresis with the border clearing that follows it.
void BM_StageHysteresis(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  for (auto _ : state) {
    detector.applyHysteresis();
    detector.clearEdgeBorder();
    benchmark::DoNotOptimize(detector.edgeMap.data());
  }
}
BENCHMARK(BM_StageHysteresis)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

// Thinning from the same unthinned map each time; restoring it is not timed.
void BM_StageThinning(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  detector.applyHysteresis();
  detector.clearEdgeBorder();
  const std::vector<uint8_t> unthinned(detector.edgeMap.data(), detector.edgeMap.data() + detector.edgeMap.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(detector.edgeMap.data(), unthinned.data(), unthinned.size());
    state.ResumeTiming();
    detector.thinEdges();
    benchmark::DoNotOptimize(detector.edgeMap.data());
  }
}
BENCHMARK(BM_StageThinning)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_Convolve(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.buildVerticalDerivativeKernel();
  for (auto _ : state) {
    detector.convolve();
    benchmark::DoNotOptimize(detector.filteredPlane.data());
  }
}
BENCHMARK(BM_Convolve)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

void BM_Rethreshold(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  for (auto _ : state) {
    detector.rethreshold();
    benchmark::DoNotOptimize(detector.edgeMap.data());
  }
}
BENCHMARK(BM_Rethreshold)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", fastest);

}  // namespace
