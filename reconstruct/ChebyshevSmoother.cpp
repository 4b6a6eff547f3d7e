#include "reconstruct/ChebyshevSmoother.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

namespace {

constexpr int kLanczosSteps = 10;
// The estimate approaches the largest eigenvalue from below; a polynomial
// fitted under it would amplify what lies above.
constexpr double kEstimateMargin = 1.1;

// The largest eigenvalue of the symmetric tridiagonal matrix with the given
// diagonal and off-diagonal, by bisection on Sturm counts: the same result
// on every processor.
double largestTridiagonalEigenvalue(const std::vector<double>& diagonal, const std::vector<double>& offDiagonal) {
  const std::size_t n = diagonal.size();
  double low = 0.0;
  double high = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double radius = (i > 0 ? std::fabs(offDiagonal[i - 1]) : 0.0) + (i + 1 < n ? std::fabs(offDiagonal[i]) : 0.0);
    low = i == 0 ? diagonal[i] - radius : std::min(low, diagonal[i] - radius);
    high = i == 0 ? diagonal[i] + radius : std::max(high, diagonal[i] + radius);
  }
  // Eigenvalues above `bound`: the sign changes of the pivots of T - bound I.
  const auto countAbove = [&](double bound) {
    std::size_t below = 0;
    double pivot = 1.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double coupling = i > 0 ? offDiagonal[i - 1] * offDiagonal[i - 1] : 0.0;
      pivot = diagonal[i] - bound - (i > 0 ? coupling / pivot : 0.0);
      if (pivot == 0.0) pivot = -1e-300;
      if (pivot < 0.0) ++below;
    }
    return n - below;
  };
  for (int halving = 0; halving < 100 && high - low > 1e-12 * std::fabs(high); ++halving) {
    const double middle = 0.5 * (low + high);
    if (countAbove(middle) > 0)
      low = middle;
    else
      high = middle;
  }
  return high;
}

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
  // Lanczos steps on D^-1 A, which is self-adjoint in the inner product
  // weighted by D: the largest eigenvalue of the small tridiagonal matrix
  // they build approaches the operator's far faster than power steps do.
  const PaddedGrid& grid = level.grid();
  const float* inverse = level.inverseDiagonal();
  const std::size_t cells = grid.cellCount();
  std::vector<float> v(cells, 0.0f);
  std::vector<float> previous(cells, 0.0f);
  std::vector<float> w(cells, 0.0f);
  const std::vector<float> zero(cells, 0.0f);
  // A fixed pseudo-random start, so that every run estimates alike.
  uint32_t state = 12345u;
  for (int32_t r = 0; r < grid.rows; ++r) {
    for (int32_t c = 0; c < grid.cols; ++c) {
      state = state * 1664525u + 1013904223u;
      const auto cell = static_cast<std::size_t>(grid.at(r, c));
      if (inverse[cell] != 0.0f) v[cell] = static_cast<float>(state >> 8) / 16777216.0f - 0.5f;
    }
  }
  // The weighted squared norm of a vector; sums run in block order.
  const auto weightedSquares = [&](const std::vector<float>& u) {
    return threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
      double sum = 0.0;
      for (std::size_t cell = first; cell < end; ++cell)
        if (inverse[cell] != 0.0f) sum += static_cast<double>(u[cell]) * u[cell] / inverse[cell];
      return sum;
    });
  };
  const auto scale = [&](std::vector<float>& u, double factor) {
    threads.forCells(grid, [&](std::size_t first, std::size_t end) {
      for (std::size_t cell = first; cell < end; ++cell) u[cell] = static_cast<float>(u[cell] * factor);
    });
  };
  const double start = weightedSquares(v);
  if (!(start > 0.0)) return 0.0;
  scale(v, 1.0 / std::sqrt(start));
  std::vector<double> diagonal, offDiagonal;
  double beta = 0.0;
  for (int step = 0; step < kLanczosSteps; ++step) {
    // w = D^-1 A v, and v A v = <w, v> in the weighted product.
    const double alpha = threads.sumRows(grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow) {
      thread_local std::vector<float> row;
      row.resize(static_cast<std::size_t>(grid.cols));
      double energy = 0.0;
      for (int32_t r = firstRow; r < endRow; ++r) {
        level.residualRow(zero.data(), v.data(), row.data(), r);  // -A v
        const std::ptrdiff_t first = grid.at(r, 0);
        for (int32_t c = 0; c < grid.cols; ++c) {
          const auto cell = static_cast<std::size_t>(first + c);
          const double product = -static_cast<double>(row[static_cast<std::size_t>(c)]);
          energy += static_cast<double>(v[cell]) * product;
          w[cell] = static_cast<float>(inverse[cell] * product);
        }
      }
      return energy;
    });
    diagonal.push_back(alpha);
    threads.forCells(grid, [&](std::size_t first, std::size_t end) {
      for (std::size_t cell = first; cell < end; ++cell)
        w[cell] = static_cast<float>(w[cell] - alpha * v[cell] - beta * previous[cell]);
    });
    beta = std::sqrt(weightedSquares(w));
    if (!(beta > 1e-12 * std::fabs(alpha))) break;
    offDiagonal.push_back(beta);
    std::swap(previous, v);
    std::swap(v, w);
    scale(v, 1.0 / beta);
  }
  offDiagonal.resize(diagonal.size() - 1);
  return largestTridiagonalEigenvalue(diagonal, offDiagonal);
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
