#include "reconstruct/ConvergedSolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "reconstruct/FillInStart.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"
#include "reconstruct/HeldSetWindows.h"
#include "reconstruct/MultigridPreconditioner.h"
#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

constexpr int32_t kMostStepsPerPass = 1000;
constexpr int32_t kMostPasses = 50;

// The set of pixels held at a bound is found in two phases of passes, each
// pass a solve of the free pixels followed by a change of the set. The first
// phase solves loosely and moves only pixels clearly past a bound or pulling
// away from it; the second solves to the final tolerance and settles the rest.
struct Phase {
  // Conjugate gradients stop at this residual norm relative to the data term's.
  double relativeTolerance;
  HeldSetRule rule;
};
constexpr Phase kSearch{1e-6, {0.3, false}};
// The final tolerance leaves every pixel within a few thousandths of a level
// of the minimiser (at most 0.004 on the test photographs; 1e-8 would take a
// step more for at most 0.002). The final rule's slack lies just above that:
// a pixel held or freed for a smaller pull would move by less than the
// solve's own error, yet cost a whole pass to confirm, and free pixels that
// overshoot by less are clamped.
constexpr Phase kSettle{kConvergedTolerance, {5e-3, true}};

double dot(const PaddedGrid& grid, const std::vector<double>& a, const std::vector<double>& b,
           const SolverThreads& threads) {
  return threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
    return dotRun(a.data() + first, b.data() + first, end - first);
  });
}

// The vectors of conjugate gradients, made once for all passes. The residual
// is kept in double precision, the direction and its product in single: a
// rounding of theirs moves the residual by a share of its own size, far below
// the tolerance of the pass, and every pass starts from the true residual.
// The product lives in the preconditioner's scratch vector, which the cycle
// needs only while it runs and the product only until the step.
struct GradientVectors {
  explicit GradientVectors(std::size_t n) : r(n), direction(n) {}
  std::vector<double> r;
  std::vector<float> direction;
};

struct GradientPass {
  int32_t steps = 0;
  double residualNorm = 0.0;
  bool reachedTarget = false;
};

// Conjugate gradients on the free pixels from the current x down to a
// residual norm of targetNorm.
GradientPass conjugateGradients(const FineOperator& op, MultigridPreconditioner& preconditioner, double targetNorm,
                                std::vector<double>& x, GradientVectors& vectors, const SolverThreads& threads) {
  const PaddedGrid& grid = op.grid();
  std::vector<double>& r = vectors.r;
  std::vector<float>& direction = vectors.direction;
  op.residual(x.data(), r.data(), threads);
  double rr = dot(grid, r, r, threads);
  int32_t steps = 0;
  if (rr > targetNorm * targetNorm) {
    // The step writes the residual straight into the preconditioner's input,
    // and the direction is made from its single-precision output: no pass
    // over memory for either.
    float* input = preconditioner.input();
    threads.forCells(
        grid, [&](std::size_t first, std::size_t end) { narrowRun(r.data() + first, end - first, input + first); });
    const float* correction = preconditioner.apply();
    const auto correctionDotResidual = [&] {
      return threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
        return widenedDotRun(correction + first, r.data() + first, end - first);
      });
    };
    double rz = correctionDotResidual();
    // The first direction is the correction itself (the direction starts at 0).
    threads.forCells(grid, [&](std::size_t first, std::size_t end) {
      directionRun(0.0, correction + first, direction.data() + first, end - first);
    });
    while (steps < kMostStepsPerPass) {
      // The cycle swaps its vectors: the scratch one is asked anew each step.
      float* product = preconditioner.scratch();
      const double curvature = op.multiply(direction.data(), product, threads);
      if (!(curvature > 0.0)) break;
      const double alpha = rz / curvature;
      rr = threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
        return stepRun(alpha, direction.data() + first, product + first, x.data() + first, r.data() + first,
                       input + first, end - first);
      });
      ++steps;
      if (rr <= targetNorm * targetNorm) break;
      correction = preconditioner.apply();
      const double rzNext = correctionDotResidual();
      const double beta = rzNext / rz;
      rz = rzNext;
      threads.forCells(grid, [&](std::size_t first, std::size_t end) {
        directionRun(beta, correction + first, direction.data() + first, end - first);
      });
    }
  }
  return {steps, std::sqrt(rr), rr <= targetNorm * targetNorm};
}

// The passes over the held set from the start x, until the set stands
// still; returns the last pass. The solver's own vectors live only here.
GradientPass settleHeldSet(FineOperator& op, std::vector<double>& x, double dataNorm, const SolverThreads& threads,
                           ConvergedSolveReport& report) {
  const PaddedGrid& grid = op.grid();
  std::vector<std::ptrdiff_t> fixedCells;
  GradientPass pass;
  MultigridPreconditioner preconditioner(op, threads);
  GradientVectors vectors(x.size());
  report.levels = static_cast<int32_t>(preconditioner.levelCount());
  // A pass of the first phase that changes nothing ends it, and the same set
  // is solved on to the final tolerance: a model whose unconstrained solution
  // lies within the bounds takes one pass.
  const PixelWindow wholeImage{0, grid.rows, 0, grid.cols};
  const Phase* phase = &kSearch;
  bool newSet = true;
  while (true) {
    pass = conjugateGradients(op, preconditioner, phase->relativeTolerance * dataNorm, x, vectors, threads);
    report.iterations += pass.steps;
    if (newSet) ++report.passes;
    if (report.passes == kMostPasses) {
      report.settled = false;
      break;
    }
    HeldSetChange change;
    const Phase* next = phase;
    if (phase == &kSearch) {
      // The set is first sought around each cluster of overshooting pixels
      // alone, which costs far less than passes over the whole image; passes
      // of the final phase confirm it.
      const std::vector<PixelWindow> windows = overshootWindows(op, x, phase->rule.slack, threads);
      if (!windows.empty()) {
        change = settleWindows(windows, op, x, fixedCells, threads);
        next = &kSettle;
      }
    }
    if (!change.any()) change = updateHeldSet(phase->rule, op, x, fixedCells, wholeImage, &threads);
    newSet = change.any();
    if (newSet) {
      preconditioner.followFixedPixels();
    } else if (phase == &kSearch) {
      next = &kSettle;
    } else {
      break;
    }
    phase = next;
  }
  return pass;
}

}  // namespace

Plane<float> solveConvergedFillIn(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, float plateWeight,
                                  int32_t threadCount, ConvergedSolveReport& report) {
  report = {};
  const int32_t rows = sparseness.rows();
  const int32_t cols = sparseness.cols();
  const auto startLevel = [&](int32_t row, int32_t col) {
    return sparseness[row][col] != 0 ? static_cast<float>(depth[row][col]) : static_cast<float>(kFlatStartLevel);
  };
  bool anySample = false;
  for (int32_t row = 0; row < rows && !anySample; ++row)
    for (int32_t col = 0; col < cols; ++col) anySample = anySample || sparseness[row][col] != 0;
  if (rows < 4 || cols < 4 || !anySample) {
    Plane<float> work;
    work.allocate(rows, cols);
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < cols; ++col) work[row][col] = startLevel(row, col);
    return work;
  }

  const PaddedGrid grid{rows, cols};
  const SolverThreads threads(threadCount);
  std::vector<uint8_t> states(grid.cellCount(), 0);
  std::vector<uint8_t> levels(grid.cellCount(), 0);
  const double dataSquares = threads.sumRows(rows, cols, [&](int32_t firstRow, int32_t endRow) {
    double squares = 0.0;
    for (int32_t row = firstRow; row < endRow; ++row) {
      for (int32_t col = 0; col < cols; ++col) {
        if (sparseness[row][col] == 0) continue;
        const auto cell = static_cast<std::size_t>(grid.at(row, col));
        states[cell] = FineOperator::kSample;
        levels[cell] = depth[row][col];
        const double data = FineOperator::kDataWeight * depth[row][col];
        squares += data * data;
      }
    }
    return squares;
  });
  const double dataNorm = std::sqrt(dataSquares);
  // With every sample at level 0 the data term is 0, and so is the minimiser:
  // a tolerance relative to the data term could never be met.
  if (dataNorm == 0.0) {
    Plane<float> work;
    work.allocate(rows, cols, true);
    report.boundPixels = static_cast<int64_t>(rows) * cols;
    return work;
  }
  std::vector<double> x(grid.cellCount(), 0.0);
  startFromLines(sparseness, depth, grid, x, threads);
  FineOperator op(grid, plateWeight, std::move(states), std::move(levels));
  const GradientPass pass = settleHeldSet(op, x, dataNorm, threads, report);
  report.relativeResidual = pass.residualNorm / dataNorm;
  report.reachedTolerance = pass.reachedTarget;

  // Made once the solver's vectors are freed, whose pages it takes over.
  Plane<float> work;
  work.allocate(rows, cols, false, PlaneStorage::Heap);
  const double boundPixels = threads.sumRows(rows, cols, [&](int32_t firstRow, int32_t endRow) {
    double bound = 0.0;
    for (int32_t row = firstRow; row < endRow; ++row) {
      for (int32_t col = 0; col < cols; ++col) {
        double value = x[static_cast<std::size_t>(grid.at(row, col))];
        if (value <= kLowestLevel || value >= kHighestLevel) bound += 1.0;
        value = value < kLowestLevel ? kLowestLevel : (value > kHighestLevel ? kHighestLevel : value);
        work[row][col] = static_cast<float>(value);
      }
    }
    return bound;
  });
  report.boundPixels = static_cast<int64_t>(boundPixels);
  return work;
}

}  // namespace filamorph
