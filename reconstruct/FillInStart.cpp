#include "reconstruct/FillInStart.h"

#include <cstddef>

namespace filamorph {

namespace {

// Calls set(i, value) for every pixel i in [0, count) of a line that is not a
// sample, with the value the line gives it.
template <typename IsSample, typename LevelAt, typename Set>
void interpolateLine(int32_t count, IsSample&& isSample, LevelAt&& levelAt, Set&& set) {
  int32_t before = -1;  // the last sample so far
  for (int32_t i = 0; i <= count; ++i) {
    if (i < count && !isSample(i)) continue;
    // Pixels before..i lie between two samples, or beyond the first or the
    // last one, or on a line without any.
    const bool hasBefore = before >= 0;
    const bool hasAfter = i < count;
    const double from = hasBefore ? levelAt(before) : (hasAfter ? levelAt(i) : kFlatStartLevel);
    const double to = hasAfter ? levelAt(i) : from;
    const double span = static_cast<double>(i - before);
    for (int32_t k = before + 1; k < i; ++k)
      set(k, hasBefore && hasAfter ? from + static_cast<double>(k - before) / span * (to - from) : from);
    before = i;
  }
}

}  // namespace

void startFromLines(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, const PaddedGrid& grid,
                    std::vector<double>& x, const SolverThreads& threads) {
  const auto cellOf = [&](int32_t row, int32_t col) { return static_cast<std::size_t>(grid.at(row, col)); };
  threads.forRows(grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const uint8_t* samples = sparseness[row];
      const uint8_t* levels = depth[row];
      for (int32_t col = 0; col < grid.cols; ++col)
        if (samples[col] != 0) x[cellOf(row, col)] = levels[col];
      interpolateLine(
          grid.cols, [&](int32_t col) { return samples[col] != 0; },
          [&](int32_t col) { return static_cast<double>(levels[col]); },
          [&](int32_t col, double value) { x[cellOf(row, col)] = value; });
    }
  });
  // Columns in blocks, each column's values halved into the row's.
  threads.forRows(grid.cols, grid.rows, [&](int32_t firstCol, int32_t endCol) {
    for (int32_t col = firstCol; col < endCol; ++col) {
      interpolateLine(
          grid.rows, [&](int32_t row) { return sparseness[row][col] != 0; },
          [&](int32_t row) { return static_cast<double>(depth[row][col]); },
          [&](int32_t row, double value) {
            double& start = x[cellOf(row, col)];
            start = 0.5 * (start + value);
          });
    }
  });
}

}  // namespace filamorph
