#include "reconstruct/FillInStart.h"

#include <cstddef>
#include <vector>

namespace filamorph {

namespace {

// Calls set(k, value) for every pixel k strictly between `before` and `next`
// on a line of `count` pixels, with the value the line gives it: `before` is
// the sample before them or -1, `next` the sample after them or `count`.
template <typename LevelAt, typename Set>
void fillGap(int32_t before, int32_t next, int32_t count, LevelAt&& levelAt, Set&& set) {
  // The gap lies between two samples, or beyond the first or the last one,
  // or on a line without any.
  const bool hasBefore = before >= 0;
  const bool hasAfter = next < count;
  const double from = hasBefore ? levelAt(before) : (hasAfter ? levelAt(next) : kFlatStartLevel);
  const double to = hasAfter ? levelAt(next) : from;
  const double span = static_cast<double>(next - before);
  for (int32_t k = before + 1; k < next; ++k)
    set(k, hasBefore && hasAfter ? from + static_cast<double>(k - before) / span * (to - from) : from);
}

// Columns are walked together, a block at a time, row by row: each row of
// the block is then read in one piece, and the gaps filled lie in rows the
// block has just met, still in cache.
constexpr int32_t kColumnBlock = 64;

}  // namespace

void startFromLines(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, const PaddedGrid& grid,
                    std::vector<double>& x, const SolverThreads& threads) {
  const auto cellOf = [&](int32_t row, int32_t col) { return static_cast<std::size_t>(grid.at(row, col)); };
  threads.forRows(grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const uint8_t* samples = sparseness[row];
      const uint8_t* levels = depth[row];
      const auto levelAt = [&](int32_t col) { return static_cast<double>(levels[col]); };
      const auto set = [&](int32_t col, double value) { x[cellOf(row, col)] = value; };
      int32_t before = -1;
      for (int32_t col = 0; col < grid.cols; ++col) {
        if (samples[col] == 0) continue;
        x[cellOf(row, col)] = levels[col];
        fillGap(before, col, grid.cols, levelAt, set);
        before = col;
      }
      fillGap(before, grid.cols, grid.cols, levelAt, set);
    }
  });
  // Each column's values are halved into the row's.
  threads.forRowBlocks(grid.cols, grid.rows, kColumnBlock, [&](int32_t firstCol, int32_t endCol) {
    // A grid too small to share comes as one block of all its columns.
    std::vector<int32_t> before(static_cast<std::size_t>(endCol - firstCol), -1);
    const auto fillColumn = [&](int32_t col, int32_t next) {
      fillGap(
          before[static_cast<std::size_t>(col - firstCol)], next, grid.rows,
          [&](int32_t row) { return static_cast<double>(depth[row][col]); },
          [&](int32_t row, double value) {
            double& start = x[cellOf(row, col)];
            start = 0.5 * (start + value);
          });
      before[static_cast<std::size_t>(col - firstCol)] = next;
    };
    for (int32_t row = 0; row < grid.rows; ++row) {
      const uint8_t* samples = sparseness[row];
      for (int32_t col = firstCol; col < endCol; ++col)
        if (samples[col] != 0) fillColumn(col, row);
    }
    for (int32_t col = firstCol; col < endCol; ++col) fillColumn(col, grid.rows);
  });
}

}  // namespace filamorph
