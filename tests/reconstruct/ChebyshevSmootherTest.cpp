// The smoother's bound of the largest eigenvalue of D^-1 A on a coarse level,
// checked against the dense matrix of the level, and its error propagation
// against the Chebyshev polynomial it stands for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "reconstruct/ChebyshevSmoother.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/GalerkinCoarsening.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/SolverFixtures.h"
#include "reconstruct/SolverThreads.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph {
namespace {

// The largest eigenvalue of D^-1 A of a level by many power steps on its
// dense matrix.
double denseLargestEigenvalue(const StencilLevel& level) {
  const PaddedGrid& grid = level.grid();
  const auto n = static_cast<std::size_t>(grid.unknownCount());
  std::vector<double> matrix(n * n, 0.0);
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      double stencil[5][5];
      level.fullStencil(row, col, stencil);
      const auto i = static_cast<std::size_t>(row * grid.cols + col);
      for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
          const int32_t otherRow = row + r - 2;
          const int32_t otherCol = col + c - 2;
          if (otherRow < 0 || otherRow >= grid.rows || otherCol < 0 || otherCol >= grid.cols) continue;
          matrix[i * n + static_cast<std::size_t>(otherRow * grid.cols + otherCol)] = stencil[r][c] / stencil[2][2];
        }
      }
    }
  }
  std::vector<double> v(n, 1.0), next(n);
  for (std::size_t i = 0; i < n; i += 2) v[i] = -1.0;
  double estimate = 0.0;
  for (int step = 0; step < 2000; ++step) {
    double largest = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      next[i] = 0.0;
      for (std::size_t j = 0; j < n; ++j) next[i] += matrix[i * n + j] * v[j];
      largest = std::max(largest, std::fabs(next[i]));
    }
    estimate = largest;
    for (std::size_t i = 0; i < n; ++i) v[i] = next[i] / largest;
  }
  return estimate;
}

// The first coarse level of a 40 x 44 model with samples at a tenth of the
// pixels, as the solver makes it.
TEST(ChebyshevSmoother, CoarseLevelBoundLiesJustAboveTheLargestEigenvalue) {
  const PaddedGrid fine{40, 44};
  const FineOperator op = testing::randomFineOperator(fine, 5u);
  const AxisTransfer rows = AxisTransfer::make(fine.rows, true);
  const AxisTransfer cols = AxisTransfer::make(fine.cols, true);
  StencilLevel coarse(PaddedGrid{rows.coarseCount, cols.coarseCount});
  const SolverThreads threads(1);
  coarsenImageOperator(op, rows, cols, coarse, threads);
  const double largest = denseLargestEigenvalue(coarse);

  const double estimate = estimateLargestEigenvalue(coarse, threads);
  EXPECT_LE(estimate, largest * (1.0 + 1e-6));
  EXPECT_GE(estimate, largest / 1.05);
  const ChebyshevSmoother smoother(coarse, false, threads);
  EXPECT_GE(smoother.upperEigenvalue(), largest);
  EXPECT_LE(smoother.upperEigenvalue(), coarse.discBound(threads));
}

// A smoothing takes the error e = x* - x of A x* = b to p(D^-1 A) e, with p
// the Chebyshev polynomial of the smoother's degree on its damped interval,
// scaled to p(0) = 1. The level is large enough for the work to be shared
// in blocks, whose rows beyond their own must come out as their neighbours';
// a smaller one is smoothed in a single block.
void expectChebyshevPolynomialOfTheError(const PaddedGrid& grid) {
  static_assert(ChebyshevSmoother::kDegree == 2, "the reference below is the polynomial of degree 2");
  StencilLevel level(grid);
  std::mt19937 random(3u);
  testing::fillRandomly(level, random);
  const auto cellCount = grid.cellCount();
  const std::vector<float> solution = testing::randomVector(grid, random);
  const std::vector<float> start = testing::randomVector(grid, random);
  // A v from the level's rows.
  const std::vector<float> zero(cellCount, 0.0f);
  const auto product = [&](const std::vector<float>& v) {
    std::vector<float> y(cellCount, 0.0f);
    for (int32_t r = 0; r < grid.rows; ++r) {
      const std::ptrdiff_t first = grid.at(r, 0);
      level.residualRow(zero.data() + first, v.data() + first, y.data() + first, r);
      for (int32_t c = 0; c < grid.cols; ++c) y[static_cast<std::size_t>(first + c)] *= -1.0f;
    }
    return y;
  };
  // D^-1 A v in double precision.
  const auto scaledProduct = [&](const std::vector<double>& v) {
    const std::vector<float> y = product(std::vector<float>(v.begin(), v.end()));
    std::vector<double> scaled(cellCount, 0.0);
    for (std::size_t i = 0; i < cellCount; ++i) scaled[i] = static_cast<double>(y[i]) * level.inverseDiagonal()[i];
    return scaled;
  };
  const std::vector<float> b = product(solution);
  const SolverThreads one(1);
  const ChebyshevSmoother smoother(level, false, one);
  const double upper = smoother.upperEigenvalue();
  const double lower = upper / ChebyshevSmoother::kDampedRange;
  const double theta = 0.5 * (upper + lower);
  const double delta = 0.5 * (upper - lower);
  // p(M) e = T2((theta - M) / delta) e / T2(theta / delta), T2(y) = 2 y^2 - 1.
  const auto polynomialOf = [&](const std::vector<double>& e) {
    const auto shifted = [&](const std::vector<double>& v) {
      std::vector<double> y = scaledProduct(v);
      for (std::size_t i = 0; i < y.size(); ++i) y[i] = (theta * v[i] - y[i]) / delta;
      return y;
    };
    const std::vector<double> once = shifted(e);
    const std::vector<double> twice = shifted(once);
    const double atZero = 2.0 * (theta / delta) * (theta / delta) - 1.0;
    std::vector<double> result(e.size());
    for (std::size_t i = 0; i < e.size(); ++i) result[i] = (2.0 * twice[i] - e[i]) / atZero;
    return result;
  };
  for (const bool zeroStart : {true, false}) {
    std::vector<double> error(cellCount, 0.0);
    for (std::size_t i = 0; i < cellCount; ++i) error[i] = solution[i] - (zeroStart ? 0.0f : start[i]);
    const std::vector<double> expected = polynomialOf(error);
    std::vector<float> byOneThread;
    for (const int32_t threadCount : {1, 2}) {
      const SolverThreads threads(threadCount);
      std::vector<float> x = zeroStart ? std::vector<float>(cellCount, 7.0f) : start;
      std::vector<float> spare(cellCount, 0.0f);
      smoother.smooth(level, b.data(), x, spare, zeroStart, threads);
      for (int32_t row = 0; row < grid.rows; ++row) {
        for (int32_t col = 0; col < grid.cols; ++col) {
          const auto cell = static_cast<std::size_t>(grid.at(row, col));
          ASSERT_NEAR(solution[cell] - x[cell], expected[cell], 1e-5)
              << grid.rows << " rows, " << (zeroStart ? "from zero" : "from a start") << ", " << threadCount
              << " threads, " << row << ", " << col;
        }
      }
      if (threadCount == 1)
        byOneThread = x;
      else
        EXPECT_EQ(x, byOneThread);
    }
  }
}

TEST(ChebyshevSmoother, SmoothingAppliesTheChebyshevPolynomialToTheError) {
  for (const PaddedGrid grid : {PaddedGrid{120, 90}, PaddedGrid{50, 90}}) {
    expectChebyshevPolynomialOfTheError(grid);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The residual of the smoothing's result, handed row by row to the
// restriction as the blocks make it, is restricted as that of the whole
// result after the smoothing, on levels shared in blocks and not, halved
// along their rows and not.
TEST(ChebyshevSmoother, ResidualOfTheResultGoesToTheRestriction) {
  for (const PaddedGrid grid : {PaddedGrid{150, 90}, PaddedGrid{5, 2100}, PaddedGrid{33, 41}}) {
    StencilLevel level(grid);
    std::mt19937 random(17u);
    testing::fillRandomly(level, random);
    const std::vector<float> b = testing::randomVector(grid, random);
    const AxisTransfer rows = AxisTransfer::make(grid.rows, grid.rows >= 6);
    const AxisTransfer cols = AxisTransfer::make(grid.cols, grid.cols >= 6);
    const PaddedGrid coarse{rows.coarseCount, cols.coarseCount};
    for (const int32_t threadCount : {1, 2}) {
      const SolverThreads threads(threadCount);
      const ChebyshevSmoother smoother(level, false, threads);
      std::vector<float> x(grid.cellCount(), 0.0f);
      std::vector<float> spare(grid.cellCount(), 0.0f);
      std::vector<float> handedOver(coarse.cellCount(), 0.0f);
      const ResidualRestriction restriction(rows, cols, coarse, handedOver.data());
      smoother.smooth(level, b.data(), x, spare, true, threads, &restriction);
      std::vector<float> expectedX(grid.cellCount(), 0.0f);
      std::vector<float> expectedSpare(grid.cellCount(), 0.0f);
      smoother.smooth(level, b.data(), expectedX, expectedSpare, true, threads);
      EXPECT_EQ(x, expectedX) << grid.rows << " x " << grid.cols << ", " << threadCount << " threads";
      const std::vector<float> expected =
          testing::restrictedResidual(rows, cols, level, b.data(), expectedX.data(), coarse, 8);
      EXPECT_EQ(handedOver, expected) << grid.rows << " x " << grid.cols << ", " << threadCount << " threads";
    }
  }
}

}  // namespace
}  // namespace filamorph
