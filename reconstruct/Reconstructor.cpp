#include "reconstruct/Reconstructor.h"

#include <algorithm>
#include <cstddef>

#include "reconstruct/FillInStart.h"
#include "reconstruct/FillInSweep.h"
#include "reconstruct/SweepSchedule.h"

namespace filamorph {

namespace {

// The molecules reach two cells from the pixel; a smaller plane gets no sweep.
constexpr int32_t kMinimumSweepSize = 4;

template <typename T>
bool hasSize(const Plane<T>& plane, int32_t rows, int32_t cols) {
  return plane.exists() && plane.rows() == rows && plane.cols() == cols;
}

}  // namespace

Reconstructor::~Reconstructor() {
  if (ownsWorkPlane == 1) workPlane.release();
  sparsenessPlane.release();
  depthPlane.release();
}

void Reconstructor::setSolverParameters(float smoothWeightValue, float plateWeightValue, float relaxationValue,
                                        float toleranceValue, uint8_t ditherValue) {
  smoothWeight = smoothWeightValue;
  plateWeight = plateWeightValue;
  relaxation = relaxationValue;
  tolerance = toleranceValue;
  dither = ditherValue;
}

void Reconstructor::allocateModelPlanes() {
  sparsenessPlane.allocate(rows, cols, true);
  depthPlane.allocate(rows, cols, true);
}

Reconstructor::SolveModel Reconstructor::modelToSolve() const {
  const int32_t planeRows = std::max(rows, 0);
  const int32_t planeCols = std::max(cols, 0);
  SolveModel model;
  model.fits = hasSize(sparsenessPlane, planeRows, planeCols) && hasSize(depthPlane, planeRows, planeCols);
  if (!model.fits) {
    model.emptySparseness.allocate(planeRows, planeCols, true);
    model.emptyDepth.allocate(planeRows, planeCols, true);
  }
  return model;
}

const Plane<uint8_t>& Reconstructor::sparsenessOf(const SolveModel& model) const {
  return model.fits ? sparsenessPlane : model.emptySparseness;
}

const Plane<uint8_t>& Reconstructor::depthOf(const SolveModel& model) const {
  return model.fits ? depthPlane : model.emptyDepth;
}

Plane<uint8_t> Reconstructor::grayPlaneToMake() const {
  Plane<uint8_t> newGray;
  const int32_t planeRows = std::max(rows, 0);
  const int32_t planeCols = std::max(cols, 0);
  if (!hasSize(grayPlane, planeRows, planeCols)) newGray.allocate(planeRows, planeCols);
  return newGray;
}

// Everything that can fail or be cancelled happens before the first write to
// the object: the sweeps run on a new work plane, the old planes stay in place
// until the end, and the dither generator is drawn from only in the output.
bool Reconstructor::solve(DitherGenerator& generator, const SweepObserver& observer) {
  const int32_t planeRows = std::max(rows, 0);
  const int32_t planeCols = std::max(cols, 0);

  SolveModel model = modelToSolve();
  const Plane<uint8_t>& sparseness = sparsenessOf(model);
  const Plane<uint8_t>& depth = depthOf(model);

  Plane<float> work;
  work.allocate(planeRows, planeCols);
  for (int32_t row = 0; row < planeRows; ++row)
    for (int32_t col = 0; col < planeCols; ++col)
      work[row][col] =
          sparseness[row][col] != 0 ? static_cast<float>(depth[row][col]) : static_cast<float>(kFlatStartLevel);

  SweepOutcome sweeps{true, 0, 0.0f, {lastChange, pixelDiagonal, previousValue}};
  if (planeRows >= kMinimumSweepSize && planeCols >= kMinimumSweepSize) {
    const SweepCoefficients coefficients = makeSweepCoefficients(smoothWeight, plateWeight, relaxation);
    sweeps = sweepToTolerance(work, sparseness, depth, coefficients, tolerance,
                              sweepThreadsFor(sweepThreads, planeRows, planeCols),
                              sweepVectors.value_or(widestSweepVectors()), sweeps.lastVisit, observer);
    if (!sweeps.finished) return false;
  }

  Plane<uint8_t> newGray = grayPlaneToMake();

  // Commit: nothing below can fail.
  meanChange = sweeps.meanChange;
  sweepCount = sweeps.sweeps;
  lastChange = sweeps.lastVisit.lastChange;
  pixelDiagonal = sweeps.lastVisit.pixelDiagonal;
  previousValue = sweeps.lastVisit.previousValue;
  commitAndWriteOutput(model, work, newGray, generator);
  return true;
}

ConvergedSolveReport Reconstructor::solveConverged(DitherGenerator& generator) {
  SolveModel model = modelToSolve();
  ConvergedSolveReport report;
  Plane<float> work = solveConvergedFillIn(sparsenessOf(model), depthOf(model), plateWeight, sweepThreads, report);
  Plane<uint8_t> newGray = grayPlaneToMake();

  // Commit: nothing below can fail.
  meanChange = 0.0f;
  sweepCount = 0;
  commitAndWriteOutput(model, work, newGray, generator);
  return report;
}

void Reconstructor::commitAndWriteOutput(SolveModel& model, Plane<float>& work, Plane<uint8_t>& newGray,
                                         DitherGenerator& generator) {
  if (!model.fits) {
    sparsenessPlane = std::move(model.emptySparseness);
    depthPlane = std::move(model.emptyDepth);
  }
  uint8_t* const masks = sparsenessPlane.data();
  const std::size_t pixelCount = sparsenessPlane.size();
  for (std::size_t i = 0; i < pixelCount; ++i)
    if (masks[i] != 0) masks[i] = 1;
  workPlane = std::move(work);
  ownsWorkPlane = 1;
  if (newGray.exists()) grayPlane = std::move(newGray);
  grayPlaneAllocated = 1;

  // Output: a half-level dither of the pixels without a sample, then
  // truncation to bytes. The dithered value stays in the work plane.
  const int32_t planeRows = workPlane.rows();
  const int32_t planeCols = workPlane.cols();
  for (int32_t row = 0; row < planeRows; ++row) {
    float* const values = workPlane[row];
    const uint8_t* const maskRow = sparsenessPlane[row];
    uint8_t* const grayRow = grayPlane[row];
    for (int32_t col = 0; col < planeCols; ++col) {
      float value = values[col];
      if (maskRow[col] == 0 && dither == 1) {
        value = (generator.next() & 1) != 0 ? value + 0.5f : value - 0.5f;
        value = clampGrayLevel(value);
        values[col] = value;
      }
      grayRow[col] = static_cast<uint8_t>(static_cast<int32_t>(value));
    }
  }
}

}  // namespace filamorph
