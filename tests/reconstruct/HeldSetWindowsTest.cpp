// The local search for the held set: the band factorisation, the exact solve
// of a window with the levels around it held, and the windows themselves.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "reconstruct/BandCholesky.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"
#include "reconstruct/HeldSetWindows.h"
#include "reconstruct/SolverFixtures.h"
#include "reconstruct/WindowSolve.h"

namespace filamorph {
namespace {

TEST(BandCholesky, SolvesADefiniteBandMatrix) {
  constexpr std::size_t kSize = 40;
  constexpr std::size_t kWidth = 6;
  std::mt19937 random(3u);
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  std::vector<std::vector<double>> matrix(kSize, std::vector<double>(kSize, 0.0));
  BandCholesky band;
  band.reset(kSize, kWidth);
  for (std::size_t i = 0; i < kSize; ++i) {
    for (std::size_t j = i >= kWidth ? i - kWidth : 0; j < i; ++j) {
      matrix[i][j] = matrix[j][i] = entry(random);
      band.at(i, j) = matrix[i][j];
    }
    // Dominant diagonal entries make it definite.
    matrix[i][i] = band.at(i, i) = 2.0 * kWidth + 1.0;
  }
  std::vector<double> expected(kSize);
  for (double& value : expected) value = entry(random);
  std::vector<double> values(kSize, 0.0);
  for (std::size_t i = 0; i < kSize; ++i)
    for (std::size_t j = 0; j < kSize; ++j) values[i] += matrix[i][j] * expected[j];
  band.factor();
  band.solve(values);
  for (std::size_t i = 0; i < kSize; ++i) EXPECT_NEAR(values[i], expected[i], 1e-12) << i;
}

// The factor is that of the plain right-looking elimination, column after
// column, bit for bit: every entry takes the same subtractions in the same
// order, whether factored whole or again from a row on, on sizes that leave
// the last group of columns short and bands wider than the matrix's end.
TEST(BandCholesky, FactorIsThePlainEliminationBitForBit) {
  for (const auto& [size, width] : {std::pair<std::size_t, std::size_t>{57, 9}, {23, 6}, {10, 12}, {5, 1}}) {
    std::mt19937 random(static_cast<unsigned>(size * 100 + width));
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    // The lower band, column by column, and the plain elimination on it.
    std::vector<std::vector<double>> plain(size, std::vector<double>(size, 0.0));
    BandCholesky band;
    band.reset(size, width);
    for (std::size_t j = 0; j < size; ++j) {
      for (std::size_t i = j; i < size && i <= j + width; ++i) {
        plain[i][j] = i == j ? 2.0 * static_cast<double>(width) + 1.0 : entry(random);
        band.at(i, j) = plain[i][j];
      }
    }
    const std::vector<std::vector<double>> matrix = plain;
    for (std::size_t j = 0; j < size; ++j) {
      plain[j][j] = std::sqrt(plain[j][j]);
      for (std::size_t i = j + 1; i < size && i <= j + width; ++i) plain[i][j] /= plain[j][j];
      for (std::size_t k = j + 1; k < size && k <= j + width; ++k)
        for (std::size_t i = k; i < size && i <= j + width; ++i) plain[i][k] -= plain[i][j] * plain[k][j];
    }
    const auto expectPlain = [&](const char* how) {
      for (std::size_t j = 0; j < size; ++j)
        for (std::size_t i = j; i < size && i <= j + width; ++i)
          ASSERT_EQ(band.at(i, j), plain[i][j])
              << how << ", " << size << " x " << width << ", entry " << i << ", " << j;
    };
    band.factor();
    expectPlain("whole");
    for (const std::size_t firstRow : {std::size_t{1}, size / 2, size - 1}) {
      band.clearRowsFrom(firstRow);
      for (std::size_t j = 0; j < size; ++j)
        for (std::size_t i = std::max(j, firstRow); i < size && i <= j + width; ++i) band.at(i, j) = matrix[i][j];
      band.factor(firstRow);
      expectPlain("again from a row");
    }
  }
}

// A model of 20 x 24 pixels unless told otherwise, with samples at about a
// tenth of the pixels and a start anywhere in -50..300.
struct WindowFixture {
  explicit WindowFixture(int32_t rows = 20, int32_t cols = 24)
      : grid{rows, cols}, op(testing::randomFineOperator(grid, 7u)), x(grid.cellCount(), 0.0) {
    std::mt19937 random(11u);
    std::uniform_real_distribution<double> level(-50.0, 300.0);
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < cols; ++col) x[static_cast<std::size_t>(grid.at(row, col))] = level(random);
  }

  PaddedGrid grid;
  FineOperator op;
  std::vector<double> x;
};

// Windows along either axis, inside the image and against its edges, with a
// held pixel inside: afterwards every free pixel of the window meets its own
// equation, and every other pixel keeps its level.
TEST(WindowSolve, FreePixelsMeetTheirEquationsAndTheRestStays) {
  for (const PixelWindow window :
       {PixelWindow{2, 18, 5, 11}, PixelWindow{3, 9, 0, 24}, PixelWindow{0, 20, 0, 7}, PixelWindow{14, 20, 17, 24}}) {
    SCOPED_TRACE(::testing::Message() << "rows " << window.firstRow << ".." << window.endRow << ", columns "
                                      << window.firstCol << ".." << window.endCol);
    WindowFixture fixture;
    const PaddedGrid& grid = fixture.grid;
    const std::ptrdiff_t held = grid.at(window.firstRow + 2, window.firstCol + 3);
    fixture.op.setFixed(held, true);
    const std::vector<double> before = fixture.x;
    WindowSolver().solve(fixture.op, window, fixture.x);
    for (int32_t row = 0; row < grid.rows; ++row) {
      for (int32_t col = 0; col < grid.cols; ++col) {
        const std::ptrdiff_t cell = grid.at(row, col);
        const auto i = static_cast<std::size_t>(cell);
        if (window.contains(row, col) && cell != held) {
          const double residual = fixture.op.dataTerm(cell) - fixture.op.product(row, col, fixture.x.data());
          EXPECT_NEAR(residual / fixture.op.diagonal(row, col), 0.0, 1e-9) << row << ", " << col;
        } else {
          EXPECT_EQ(fixture.x[i], before[i]) << row << ", " << col;
        }
      }
    }
  }
}

// A solver that keeps its factor gives the levels of a fresh one, to within
// rounding: with pixels held since the factorisation as constraints, one of
// them freed again, a pixel held at the factorisation freed (the factor is
// redone from it on), and on moving to another window. On a window of more
// pixels than the kept constraints may cover, every held pixel refactors.
TEST(WindowSolve, ReusedFactorMatchesAFreshSolve) {
  struct Case {
    int32_t rows, cols;
    PixelWindow window, next;
    std::pair<int32_t, int32_t> heldFirst, later[2];
  };
  const Case cases[] = {
      {20, 24, {2, 18, 5, 14}, {0, 20, 3, 9}, {9, 7}, {{15, 10}, {4, 12}}},
      {6, 22000, {0, 6, 0, 21990}, {1, 5, 10, 30}, {3, 700}, {{2, 15000}, {4, 90}}},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(::testing::Message() << testCase.rows << " x " << testCase.cols);
    WindowFixture fixture(testCase.rows, testCase.cols);
    const PaddedGrid& grid = fixture.grid;
    WindowSolver reused;
    const auto solveBoth = [&](const PixelWindow& w) {
      std::vector<double> fresh = fixture.x;
      WindowSolver().solve(fixture.op, w, fresh);
      reused.solve(fixture.op, w, fixture.x);
      for (std::size_t i = 0; i < fresh.size(); ++i) ASSERT_NEAR(fixture.x[i], fresh[i], 1e-9) << i;
      // Levels that differ by rounding alone would pass: start the next solve
      // from the same ones.
      fixture.x = fresh;
    };
    // A pixel is held at a bound, as the search for the held set does.
    const auto change = [&](std::pair<int32_t, int32_t> pixel, bool hold) {
      const std::ptrdiff_t cell = grid.at(pixel.first, pixel.second);
      fixture.op.setFixed(cell, hold);
      if (hold) fixture.x[static_cast<std::size_t>(cell)] = kHighestLevel;
    };
    change(testCase.heldFirst, true);
    solveBoth(testCase.window);
    const auto [late, early] = testCase.later;
    for (const auto& [pixel, hold, what] :
         {std::tuple{late, true, "held late in the order"}, std::tuple{early, true, "held early"},
          std::tuple{late, false, "held since, freed"}, std::tuple{testCase.heldFirst, false, "held before, freed"},
          std::tuple{late, true, "held again"}}) {
      SCOPED_TRACE(what);
      change(pixel, hold);
      solveBoth(testCase.window);
    }
    solveBoth(testCase.next);
  }
}

// One window per overshooting pixel, with its margin and cut at the image's
// edges; windows that overlap become one; none when one would cover the
// image.
TEST(HeldSetWindows, WindowsAroundOvershoots) {
  struct Case {
    std::vector<std::pair<int32_t, int32_t>> overshooting;
    std::vector<PixelWindow> expected;
  };
  const Case cases[] = {
      {{}, {}},
      {{{0, 0}}, {{0, 9, 0, 9}}},
      {{{10, 12}}, {{2, 19, 4, 21}}},
      {{{3, 2}, {6, 9}}, {{0, 15, 0, 18}}},
      {{{0, 0}, {19, 23}}, {{0, 9, 0, 9}, {11, 20, 15, 24}}},
      {{{0, 0}, {10, 12}, {19, 23}}, {}},
  };
  for (const Case& testCase : cases) {
    WindowFixture fixture;
    for (int32_t row = 0; row < fixture.grid.rows; ++row)
      for (int32_t col = 0; col < fixture.grid.cols; ++col)
        fixture.x[static_cast<std::size_t>(fixture.grid.at(row, col))] = 100.0;
    for (const auto& [row, col] : testCase.overshooting)
      fixture.x[static_cast<std::size_t>(fixture.grid.at(row, col))] = 256.0;
    const std::vector<PixelWindow> windows = overshootWindows(fixture.op, fixture.x, 0.3, SolverThreads(1));
    ASSERT_EQ(windows.size(), testCase.expected.size());
    for (std::size_t i = 0; i < windows.size(); ++i) {
      EXPECT_EQ(windows[i].firstRow, testCase.expected[i].firstRow);
      EXPECT_EQ(windows[i].endRow, testCase.expected[i].endRow);
      EXPECT_EQ(windows[i].firstCol, testCase.expected[i].firstCol);
      EXPECT_EQ(windows[i].endCol, testCase.expected[i].endCol);
    }
  }
}

// After the local search each window stands still under the rules: no free
// pixel in it lies past a bound, and no held one pulls away from its bound.
TEST(HeldSetWindows, EachWindowEndsWithinTheBounds) {
  WindowFixture fixture;
  const PixelWindow window{4, 16, 5, 19};
  std::vector<std::ptrdiff_t> heldCells;
  const HeldSetChange change = settleWindows({window}, fixture.op, fixture.x, heldCells, SolverThreads(1));
  EXPECT_TRUE(change.held);
  EXPECT_FALSE(heldCells.empty());
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (int32_t col = window.firstCol; col < window.endCol; ++col) {
      const std::ptrdiff_t cell = fixture.grid.at(row, col);
      const double value = fixture.x[static_cast<std::size_t>(cell)];
      if ((fixture.op.state(cell) & FineOperator::kFixed) == 0) {
        EXPECT_GE(value, -1e-3) << row << ", " << col;
        EXPECT_LE(value, 255.0 + 1e-3) << row << ", " << col;
        continue;
      }
      const double pull =
          (fixture.op.product(row, col, fixture.x.data()) - fixture.op.dataTerm(cell)) / fixture.op.diagonal(row, col);
      if (value == kLowestLevel)
        EXPECT_GE(pull, -1e-3) << row << ", " << col;
      else
        EXPECT_LE(pull, 1e-3) << row << ", " << col;
    }
  }
}

}  // namespace
}  // namespace filamorph
