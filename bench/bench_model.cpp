// Speed of the road from a 512 x 512 photograph to the laid model: detection,
// tracing, normals, profile fits and the model planes, and of the model
// stages alone.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "base/WorkThreads.h"
#include "commands/CommandParameters.h"
#include "contours/ContourCoder.h"
#include "image/ImageControl.h"
#include "reconstruct/Reconstructor.h"
#include "support/CommandSteps.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

const std::string kPhotograph = testing::testImage("a_astronaut_512x512_24.bmp").string();

// Detect Contours and Trace Contours with the commands' fixed parameters.
void detectAndTrace(ContourCoder& coder, ImageControl& image) {
  if (!coder.importBitmap(image).ok()) return;
  testing::detectEdgesAsTheCommandDoes(coder);
  coder.smoothGrayPlane();
  coder.traceContours();
}

// Obtain Filamorph: the model, then its planes.
void obtainModel(ContourCoder& coder, Reconstructor& reconstructor) {
  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
  coder.buildModel();
  reconstructor.width = reconstructor.cols = coder.width;
  reconstructor.height = reconstructor.rows = coder.height;
  reconstructor.allocateModelPlanes();
  coder.renderModel(reconstructor.sparsenessPlane, reconstructor.depthPlane);
}

int64_t pointCount(const ContourCoder& coder) {
  int64_t points = 0;
  for (const Contour& contour : coder.contours) points += contour.pointCount;
  return points;
}

bool loadPhotograph(ImageControl& image, benchmark::State& state) {
  image.autoSize = true;
  if (image.loadFromFile(kPhotograph)) return true;
  state.SkipWithError("photograph not found in tests/data/images");
  return false;
}

void BM_PhotographToModelPlanes(benchmark::State& state) {
  ImageControl image;
  if (!loadPhotograph(image, state)) return;
  const WorkThreads threads(0);
  int64_t points = 0;
  for (auto _ : state) {
    ContourCoder coder;  // a fresh object labels the edge map anew
    coder.workThreads = &threads;
    Reconstructor reconstructor;
    detectAndTrace(coder, image);
    obtainModel(coder, reconstructor);
    points = pointCount(coder);
    benchmark::DoNotOptimize(reconstructor.depthPlane.data());
  }
  state.counters["contourPoints"] = static_cast<double>(points);
}
BENCHMARK(BM_PhotographToModelPlanes)->Unit(benchmark::kMillisecond);

void BM_ModelOfTracedPhotograph(benchmark::State& state) {
  ImageControl image;
  if (!loadPhotograph(image, state)) return;
  const WorkThreads threads(0);
  ContourCoder coder;
  coder.workThreads = &threads;
  Reconstructor reconstructor;
  detectAndTrace(coder, image);
  for (auto _ : state) {
    obtainModel(coder, reconstructor);
    benchmark::DoNotOptimize(reconstructor.depthPlane.data());
  }
  state.counters["contourPoints"] = static_cast<double>(pointCount(coder));
  state.counters["pointsPerSecond"] =
      benchmark::Counter(static_cast<double>(pointCount(coder)), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ModelOfTracedPhotograph)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace filamorph
