// The coarsest level's direct solve on the banded matrices a grid gives,
// with rows cut loose, checked against a known solution.

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <vector>

#include "reconstruct/DenseCholesky.h"

namespace filamorph {
namespace {

// A grid's 5 x 5 coupling in row order: every cell coupled to those within
// two rows and two columns, its diagonal dominant. `loose` cells are coupled
// to nothing and hold 1, as the solver cuts loose the cells that take no part.
std::vector<double> gridMatrix(std::size_t rows, std::size_t cols, const std::vector<bool>& loose) {
  const std::size_t n = rows * cols;
  std::vector<double> matrix(n * n, 0.0);
  std::mt19937 random(9u);
  std::uniform_real_distribution<double> coupling(-1.0, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const auto rowStep = static_cast<long>(i / cols) - static_cast<long>(j / cols);
      const auto colStep = static_cast<long>(i % cols) - static_cast<long>(j % cols);
      if (loose[i] || loose[j] || rowStep > 2 || colStep > 2 || colStep < -2) continue;
      matrix[i * n + j] = matrix[j * n + i] = coupling(random);
    }
  }
  for (std::size_t i = 0; i < n; ++i) matrix[i * n + i] = loose[i] ? 1.0 : 30.0;
  return matrix;
}

TEST(DenseCholesky, SolvesBandedSystemsWithCellsCutLoose) {
  const std::size_t rows = 9;
  const std::size_t cols = 11;
  const std::size_t n = rows * cols;
  for (const std::size_t looseCell : {std::size_t{0}, std::size_t{40}, n - 1}) {
    std::vector<bool> loose(n, false);
    loose[looseCell] = true;
    const std::vector<double> matrix = gridMatrix(rows, cols, loose);
    std::vector<double> expected(n);
    for (std::size_t i = 0; i < n; ++i) expected[i] = static_cast<double>(i % 7) - 3.0;
    std::vector<double> values(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) values[i] += matrix[i * n + j] * expected[j];
    DenseCholesky cholesky;
    cholesky.factor(matrix, n);
    cholesky.solve(values);
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(values[i], expected[i], 1e-9) << "loose " << looseCell << ", " << i;
  }
}

}  // namespace
}  // namespace filamorph
