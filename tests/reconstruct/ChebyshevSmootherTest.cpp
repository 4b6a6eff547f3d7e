// The smoother's bound of the largest eigenvalue of D^-1 A on a coarse level,
// checked against the dense matrix of the level.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
  EXPECT_LE(smoother.upperEigenvalue(), coarse.discBound());
}

}  // namespace
}  // namespace filamorph
