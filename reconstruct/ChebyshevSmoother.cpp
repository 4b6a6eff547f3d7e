#include "reconstruct/ChebyshevSmoother.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "reconstruct/VectorKernel.h"
#include "reconstruct/VectorRuns.h"

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
// x_{k+1} = x_k + keep (x_k - x_{k-1}) + scale D^-1 r_k.

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

// x_{k+1} from x_k and x_{k-1}.
[[gnu::always_inline]] inline void laterStepRunBody(const float* x, const float* previous, float keep, float scale,
                                                    const float* inverse, const float* r, int32_t count, float* next) {
  for (int32_t i = 0; i < count; ++i) next[i] = x[i] + (keep * (x[i] - previous[i]) + scale * (inverse[i] * r[i]));
}
FILAMORPH_VECTOR_KERNEL(void, laterStepRun,
                        (const float* x, const float* previous, float keep, float scale, const float* inverse,
                         const float* r, int32_t count, float* next),
                        (x, previous, keep, scale, inverse, r, count, next))

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
  // D itself, 0 where the cell takes no part, for the inner product.
  std::vector<float> weights(cells, 0.0f);
  for (std::size_t cell = 0; cell < cells; ++cell)
    if (inverse[cell] != 0.0f) weights[cell] = 1.0f / inverse[cell];
  // Sums run in block order.
  const auto weightedSquares = [&](const std::vector<float>& u) {
    return threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
      return weightedSquaresRun(u.data() + first, weights.data() + first, end - first);
    });
  };
  const double start = weightedSquares(v);
  if (!(start > 0.0)) return 0.0;
  // The Lanczos vectors are kept unnormalised, each with the factor that
  // normalises it, so that no pass over the level only scales: the current
  // one is vScale v, the one before previousScale previous.
  double vScale = 1.0 / std::sqrt(start);
  double previousScale = 0.0;
  std::vector<double> diagonal, offDiagonal;
  double beta = 0.0;
  for (int step = 0; step < kLanczosSteps; ++step) {
    // w = D^-1 A v, and v A v = <w, v> in the weighted product.
    const double energy = threads.sumRows(grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow) {
      thread_local std::vector<float> row;
      row.resize(static_cast<std::size_t>(grid.cols));
      double sum = 0.0;
      for (int32_t r = firstRow; r < endRow; ++r) {
        const std::ptrdiff_t first = grid.at(r, 0);
        level.residualRow(zero.data() + first, v.data() + first, row.data(), r);  // -A v
        sum += scaledProductRun(row.data(), v.data() + first, vScale, inverse + first,
                                static_cast<std::size_t>(grid.cols), w.data() + first);
      }
      return sum;
    });
    const double alpha = vScale * vScale * energy;
    diagonal.push_back(alpha);
    const double squares = threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
      return lanczosStepRun(alpha * vScale, v.data() + first, beta * previousScale, previous.data() + first,
                            weights.data() + first, end - first, w.data() + first);
    });
    beta = std::sqrt(squares);
    if (!(beta > 1e-12 * std::fabs(alpha))) break;
    offDiagonal.push_back(beta);
    std::swap(previous, v);
    std::swap(v, w);
    previousScale = vScale;
    vScale = 1.0 / beta;
  }
  offDiagonal.resize(diagonal.size() - 1);
  return largestTridiagonalEigenvalue(diagonal, offDiagonal);
}

ChebyshevSmoother::ChebyshevSmoother(const CycleLevel& level, bool discBoundIsClose, const SolverThreads& threads)
    : upper_(discBoundIsClose
                 ? level.discBound(threads)
                 : std::min(level.discBound(threads), kEstimateMargin * estimateLargestEigenvalue(level, threads))) {}

void ChebyshevSmoother::smooth(const CycleLevel& level, const float* b, std::vector<float>& x,
                               std::vector<float>& spare, bool zeroStart, const SolverThreads& threads,
                               const ResidualSink* sink) const {
  const PaddedGrid& grid = level.grid();
  const int32_t rows = grid.rows;
  const int32_t cols = grid.cols;
  const std::ptrdiff_t stride = grid.stride();
  const float* inverse = level.inverseDiagonal();
  // The weights of each step: x_1 = x_0 + scales[0] D^-1 r_0, then
  // x_{k+1} = x_k + keeps[k] (x_k - x_{k-1}) + scales[k] D^-1 r_k.
  const Weights w = weightsFor(upper_);
  std::array<float, kDegree> keeps{};
  std::array<float, kDegree> scales{};
  scales[0] = static_cast<float>(1.0 / w.theta);
  double rho = 1.0 / w.sigma;
  for (int step = 1; step < kDegree; ++step) {
    const double rhoNext = 1.0 / (2.0 * w.sigma - rho);
    keeps[static_cast<std::size_t>(step)] = static_cast<float>(rhoNext * rho);
    scales[static_cast<std::size_t>(step)] = static_cast<float>(2.0 * rhoNext / w.delta);
    rho = rhoNext;
  }
  // All steps run block by block: a step's rows are made two rows beyond the
  // next step's, whose residuals read them, and all but the last are kept in
  // windows of the block's rows; with a sink, the residual of the result
  // follows as one more stage, and the result is kept in a window too. Each
  // value is that of the steps taken one after the other over the whole
  // level. Blocks redo the rows beyond their own, so they are larger than
  // the usual ones.
  constexpr int32_t kReach = 2;
  constexpr int32_t kRowsPerBlock = 64;
  const int32_t stages = kDegree + (sink != nullptr ? 1 : 0);
  // How far beyond the block each stage runs.
  std::array<int32_t, kDegree + 1> halos{};
  halos[static_cast<std::size_t>(stages - 1)] = sink != nullptr ? sink->reach() : 0;
  for (int stage = stages - 2; stage >= 0; --stage)
    halos[static_cast<std::size_t>(stage)] = halos[static_cast<std::size_t>(stage + 1)] + kReach;
  const std::ptrdiff_t margin = PaddedGrid::kMargin;
  threads.forRowBlocks(rows, cols, kRowsPerBlock, [&](int32_t first, int32_t end) {
    thread_local std::array<std::vector<float>, kDegree> windows;
    thread_local std::vector<float> residual;
    const int32_t origin = first - halos[0];
    for (std::vector<float>& window : windows)
      window.resize(static_cast<std::size_t>(end - first + 2 * halos[0]) * static_cast<std::size_t>(stride));
    residual.resize(static_cast<std::size_t>(cols));
    // The first cell of a row of x_k: x_0 is x itself, later ones are in
    // windows. The last goes to `spare`, and with a sink to a window too,
    // whose rows its residuals read around each row.
    const auto rowOf = [&](int step, int32_t row) -> float* {
      if (step == 0) return x.data() + grid.at(row, 0);
      if (step == kDegree && sink == nullptr) return spare.data() + grid.at(row, 0);
      return windows[static_cast<std::size_t>(step - 1)].data() + (row - origin) * stride + margin;
    };
    // x_{step + 1} at one row.
    const auto advance = [&](int step, int32_t row) {
      float* next = rowOf(step + 1, row);
      // Rows beyond the grid are the margin's zeros, and so are the
      // margin's columns, which the next stage's residuals read.
      if (row < 0 || row >= rows) {
        std::fill(next - margin, next - margin + stride, 0.0f);
        return;
      }
      if (step + 1 < kDegree || sink != nullptr) {
        std::fill(next - margin, next, 0.0f);
        std::fill(next + cols, next + cols + margin, 0.0f);
      }
      const std::ptrdiff_t cell = grid.at(row, 0);
      const float* rowInverse = inverse + cell;
      const auto scale = scales[static_cast<std::size_t>(step)];
      if (step == 0 && zeroStart) {
        stepFromZeroRun(scale, rowInverse, b + cell, cols, next);
      } else {
        const float* current = rowOf(step, row);
        level.residualRow(b + cell, current, residual.data(), row);
        if (step == 0)
          firstStepRun(current, scale, rowInverse, residual.data(), cols, next);
        else if (step == 1 && zeroStart)
          secondStepFromZeroRun(current, keeps[1], scale, rowInverse, residual.data(), cols, next);
        else
          laterStepRun(current, rowOf(step - 1, row), keeps[static_cast<std::size_t>(step)], scale, rowInverse,
                       residual.data(), cols, next);
      }
      if (step + 1 == kDegree && sink != nullptr && row >= first && row < end)
        std::copy(next, next + cols, spare.data() + cell);
    };
    const auto handOver = [&](int32_t row) {
      if (row < 0 || row >= rows) return;
      const std::ptrdiff_t cell = grid.at(row, 0);
      level.residualRow(b + cell, rowOf(kDegree, row), residual.data(), row);
      sink->takeRow(row, residual.data());
    };
    if (sink != nullptr) sink->beginBlock(first, end);
    // A wavefront: each stage follows the one before it two rows behind, so
    // that the rows all stages read are those just read or made.
    for (int32_t front = first - halos[0]; front < end + halos[0]; ++front) {
      for (int stage = 0; stage < stages; ++stage) {
        const int32_t row = front - kReach * stage;
        if (row < first - halos[static_cast<std::size_t>(stage)]) continue;
        if (stage < kDegree)
          advance(stage, row);
        else
          handOver(row);
      }
    }
  });
  std::swap(x, spare);
}

}  // namespace filamorph
