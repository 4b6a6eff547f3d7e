// The start of the converged solve: the samples spread along rows and
// columns, each pixel the mean of the two.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <vector>

#include "reconstruct/FillInStart.h"

namespace filamorph {
namespace {

// Samples of 10 and 40 in row 1 (columns 1 and 4) and of 200 in column 4
// (row 3); row 4 and columns 0, 2, 3 and 5 hold no other sample. The same
// pattern is also placed 130 columns to the right, beyond the first blocks
// of columns that are walked together, with no sample to its left.
TEST(FillInStart, MeanOfTheLinesThroughEachPixel) {
  constexpr int32_t kRows = 5;
  for (const int32_t shift : {0, 130}) {
    const int32_t cols = 6 + shift;
    Plane<uint8_t> sparseness;
    Plane<uint8_t> depth;
    sparseness.allocate(kRows, cols, true);
    depth.allocate(kRows, cols, true);
    for (const auto& [row, col, level] : {std::tuple{1, 1, 10}, std::tuple{1, 4, 40}, std::tuple{3, 4, 200}}) {
      sparseness[row][col + shift] = 1;
      depth[row][col + shift] = static_cast<uint8_t>(level);
    }
    const PaddedGrid grid{kRows, cols};
    struct Expected {
      int32_t row, col;
      double level;
    };
    const Expected expected[] = {
        {1, 1, 10.0},                   // a sample keeps its level
        {1, 2, 0.5 * (20.0 + 128.0)},   // between two samples of its row, none in its column
        {1, 0, 0.5 * (10.0 + 128.0)},   // before the row's first sample
        {1, 5, 0.5 * (40.0 + 128.0)},   // after its last
        {0, 1, 0.5 * (128.0 + 10.0)},   // a row without samples, before the column's only one
        {2, 4, 0.5 * (128.0 + 120.0)},  // between two samples of its column, none in its row
        {4, 4, 0.5 * (128.0 + 200.0)},  // after the column's last sample
        {4, 3, 128.0},                  // neither line has a sample
        {3, 1, 0.5 * (200.0 + 10.0)},   // the row's only sample is after it
    };
    for (const int32_t threadCount : {1, 2}) {
      std::vector<double> x(grid.cellCount(), -1.0);
      startFromLines(sparseness, depth, grid, x, SolverThreads(threadCount));
      for (const Expected& e : expected)
        EXPECT_DOUBLE_EQ(x[static_cast<std::size_t>(grid.at(e.row, e.col + shift))], e.level)
            << e.row << ", " << e.col + shift << ", " << threadCount << " threads";
      if (shift > 0) {
        EXPECT_DOUBLE_EQ(x[static_cast<std::size_t>(grid.at(1, 70))], 0.5 * (10.0 + 128.0)) << "far left of it";
      }
      EXPECT_EQ(x[static_cast<std::size_t>(grid.at(-1, 0))], -1.0) << "margins stay";
    }
  }
}

}  // namespace
}  // namespace filamorph
