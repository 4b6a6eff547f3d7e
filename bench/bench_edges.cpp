// Edge detection on a 512 x 512 photograph: the three convolutions dominate.
#include <benchmark/benchmark.h>

#include <string>

#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace {

using filamorph::EdgeDetector;
using filamorph::ImageControl;

// Loads the astronaut photograph into a detector set up as Detect Contours does.
bool loadPhotograph(EdgeDetector& detector, benchmark::State& state) {
  ImageControl image;
  const std::string path = filamorph::testing::testImage("a_astronaut_512x512_24.bmp").string();
  if (!filamorph::readBmpFile(path, image.picture).ok() || !detector.importBitmap(image).ok()) {
    state.SkipWithError("photograph not found");
    return false;
  }
  detector.setLambda(1.0f);
  detector.setTau(0.1f);
  detector.setFilterLength(5);
  detector.setThresholds(70, 80);
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
BENCHMARK(BM_DetectEdges)->Unit(benchmark::kMillisecond);

void BM_Convolve(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.buildVerticalDerivativeKernel();
  for (auto _ : state) {
    detector.convolve();
    benchmark::DoNotOptimize(detector.filteredPlane.data());
  }
}
BENCHMARK(BM_Convolve)->Unit(benchmark::kMillisecond);

void BM_Rethreshold(benchmark::State& state) {
  EdgeDetector detector;
  if (!loadPhotograph(detector, state)) return;
  detector.detectEdges();
  for (auto _ : state) {
    detector.rethreshold();
    benchmark::DoNotOptimize(detector.edgeMap.data());
  }
}
BENCHMARK(BM_Rethreshold)->Unit(benchmark::kMillisecond);

}  // namespace
