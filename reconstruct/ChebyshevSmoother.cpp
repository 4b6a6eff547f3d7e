#include "reconstruct/ChebyshevSmoother.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

namespace {

constexpr int kPowerSteps = 8;
// Power steps approach the largest eigenvalue from below; a polynomial
// fitted under it would amplify what lies above.
constexpr double kEstimateMargin = 1.1;

// The centre and half-width of the damped interval [upper / range, upper],
// from which the steps' weights follow.
struct Weights {
  double theta, delta, sigma;
};

Weights weightsFor(double upper) {
  const double lower = upper / ChebyshevSmoother::kDampedRange;
  Weights w{};
  w.theta = 0.5 * (upper + lower);
  w.delta = 0.5 * (upper - lower);
  w.sigma = w.theta / w.delta;
  return w;
}

// One step of the iteration along a run of cells, written as
// x_{k+1} = x_k + keep (x_k - x_{k-1}) + scale D^-1 r_k, so that a step is a
// single pass: the new values go over x_{k-1}, which only their own cell reads.

// x_1 = scale D^-1 b from x_0 = 0.
[[gnu::always_inline]] inline void stepFromZeroRunBody(float scale, const float* inverse, const float* b, int32_t count,
                                                       float* next) {
  for (int32_t i = 0; i < count; ++i) next[i] = scale * (inverse[i] * b[i]);
}
FILAMORPH_VECTOR_KERNEL(void, stepFromZeroRun,
                        (float scale, const float* inverse, const float* b, int32_t count, float* next),
                        (scale, inverse, b, count, next))

// x_1 = x_0 + scale D^-1 r_0.
[[gnu::always_inline]] inline void firstStepRunBody(const float* x, float scale, const float* inverse, const float* r,
                                                    int32_t count, float* next) {
  for (int32_t i = 0; i < count; ++i) next[i] = x[i] + scale * (inverse[i] * r[i]);
}
FILAMORPH_VECTOR_KERNEL(void, firstStepRun,
                        (const float* x, float scale, const float* inverse, const float* r, int32_t count, float* next),
                        (x, scale, inverse, r, count, next))

// x_{k+1} over x_{k-1}.
[[gnu::always_inline]] inline void laterStepRunBody(const float* x, float keep, float scale, const float* inverse,
                                                    const float* r, int32_t count, float* previousThenNext) {
  for (int32_t i = 0; i < count; ++i)
    previousThenNext[i] = x[i] + (keep * (x[i] - previousThenNext[i]) + scale * (inverse[i] * r[i]));
}
FILAMORPH_VECTOR_KERNEL(void, laterStepRun,
                        (const float* x, float keep, float scale, const float* inverse, const float* r, int32_t count,
                         float* previousThenNext),
                        (x, keep, scale, inverse, r, count, previousThenNext))

// x_2 when x_0 is the zero start.
[[gnu::always_inline]] inline void secondStepFromZeroRunBody(const float* x, float keep, float scale,
                                                             const float* inverse, const float* r, int32_t count,
                                                             float* next) {
  for (int32_t i = 0; i < count; ++i) next[i] = x[i] + (keep * x[i] + scale * (inverse[i] * r[i]));
}
FILAMORPH_VECTOR_KERNEL(void, secondStepFromZeroRun,
                        (const float* x, float keep, float scale, const float* inverse, const float* r, int32_t count,
                         float* next),
                        (x, keep, scale, inverse, r, count, next))

}  // namespace

double estimateLargestEigenvalue(const CycleLevel& level, const SolverThreads& threads) {
  const PaddedGrid& grid = level.grid();
  const float* inverse = level.inverseDiagonal();
  std::vector<float> v(grid.cellCount(), 0.0f);
  const std::vector<float> zero(grid.cellCount(), 0.0f);
  // A fixed pseudo-random start, so that every run estimates alike.
  uint32_t state = 12345u;
  for (int32_t r = 0; r < grid.rows; ++r) {
    for (int32_t c = 0; c < grid.cols; ++c) {
      state = state * 1664525u + 1013904223u;
      const auto cell = static_cast<std::size_t>(grid.at(r, c));
      if (inverse[cell] != 0.0f) v[cell] = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
    }
  }
  std::vector<float> next(grid.cellCount(), 0.0f);
  // Per block of rows: v A v, v D v and the largest |D^-1 A v|, added in
  // block order whichever thread ran a block.
  const auto blocks =
      static_cast<std::size_t>((grid.rows + SolverThreads::kRowsPerBlock - 1) / SolverThreads::kRowsPerBlock);
  std::vector<double> energies(blocks), weights(blocks), largests(blocks);
  double estimate = 0.0;
  for (int step = 0; step < kPowerSteps; ++step) {
    threads.forRows(grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow) {
      std::vector<float> row(static_cast<std::size_t>(grid.cols));
      double energy = 0.0;
      double weighted = 0.0;
      double largest = 0.0;
      for (int32_t r = firstRow; r < endRow; ++r) {
        level.residualRow(zero.data(), v.data(), row.data(), r);  // -A v
        const std::ptrdiff_t first = grid.at(r, 0);
        for (int32_t c = 0; c < grid.cols; ++c) {
          const auto cell = static_cast<std::size_t>(first + c);
          if (inverse[cell] == 0.0f) continue;
          const double value = v[cell];
          energy -= value * row[static_cast<std::size_t>(c)];
          weighted += value * value / inverse[cell];
          const double image = -static_cast<double>(inverse[cell]) * row[static_cast<std::size_t>(c)];
          next[cell] = static_cast<float>(image);
          largest = std::max(largest, std::fabs(image));
        }
      }
      const auto block = static_cast<std::size_t>(firstRow / SolverThreads::kRowsPerBlock);
      energies[block] = energy;
      weights[block] = weighted;
      largests[block] = largest;
    });
    double energy = 0.0;
    double weighted = 0.0;
    double largest = 0.0;
    for (std::size_t block = 0; block < blocks; ++block) {
      energy += energies[block];
      weighted += weights[block];
      largest = std::max(largest, largests[block]);
    }
    if (!(weighted > 0.0) || !(largest > 0.0)) break;
    estimate = energy / weighted;
    threads.forCells(grid, [&](std::size_t first, std::size_t end) {
      for (std::size_t cell = first; cell < end; ++cell) v[cell] = static_cast<float>(next[cell] / largest);
    });
  }
  return estimate;
}

ChebyshevSmoother::ChebyshevSmoother(const CycleLevel& level, bool discBoundIsClose, const SolverThreads& threads)
    : upper_(discBoundIsClose
                 ? level.discBound()
                 : std::min(level.discBound(), kEstimateMargin * estimateLargestEigenvalue(level, threads))) {}

void ChebyshevSmoother::smooth(const CycleLevel& level, const float* b, std::vector<float>& x,
                               std::vector<float>& spare, bool zeroStart, const SolverThreads& threads) const {
  const PaddedGrid& grid = level.grid();
  const int32_t cols = grid.cols;
  const float* inverse = level.inverseDiagonal();
  const Weights w = weightsFor(upper_);
  // body(first cell of the row, row, the row's residual when asked for it)
  const auto forEachRow = [&](bool withResidual, auto&& body) {
    threads.forRows(grid.rows, cols, [&](int32_t firstRow, int32_t endRow) {
      // One row of scratch per thread, kept between calls: the smoothing runs
      // several times per step on every level.
      thread_local std::vector<float> residual;
      if (withResidual) residual.resize(static_cast<std::size_t>(cols));
      for (int32_t row = firstRow; row < endRow; ++row) {
        if (withResidual) level.residualRow(b, x.data(), residual.data(), row);
        body(grid.at(row, 0), residual.data());
      }
    });
  };
  double rho = 1.0 / w.sigma;
  const auto firstScale = static_cast<float>(1.0 / w.theta);
  // Whether x_{k-1} is the zero start, which no buffer holds.
  bool previousIsZero = zeroStart;
  if (zeroStart) {
    forEachRow(false, [&](std::ptrdiff_t first, const float*) {
      stepFromZeroRun(firstScale, inverse + first, b + first, cols, x.data() + first);
    });
  } else {
    forEachRow(true, [&](std::ptrdiff_t first, const float* residual) {
      firstStepRun(x.data() + first, firstScale, inverse + first, residual, cols, spare.data() + first);
    });
    std::swap(x, spare);
  }
  for (int step = 1; step < kDegree; ++step) {
    const double rhoNext = 1.0 / (2.0 * w.sigma - rho);
    const auto keep = static_cast<float>(rhoNext * rho);
    const auto scale = static_cast<float>(2.0 * rhoNext / w.delta);
    rho = rhoNext;
    forEachRow(true, [&](std::ptrdiff_t first, const float* residual) {
      if (previousIsZero)
        secondStepFromZeroRun(x.data() + first, keep, scale, inverse + first, residual, cols, spare.data() + first);
      else
        laterStepRun(x.data() + first, keep, scale, inverse + first, residual, cols, spare.data() + first);
    });
    previousIsZero = false;
    std::swap(x, spare);
  }
}

}  // namespace filamorph
