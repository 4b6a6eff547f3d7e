#include "reconstruct/HeldSet.h"

#include <algorithm>
#include <utility>

namespace filamorph {

HeldSetChange updateHeldSet(const HeldSetRule& rule, FineOperator& op, std::vector<double>& x,
                            std::vector<std::ptrdiff_t>& heldCells, const PixelWindow& window,
                            const SolverThreads* threads) {
  const PaddedGrid& grid = op.grid();
  HeldSetChange change;
  std::vector<std::ptrdiff_t> stillHeld;
  stillHeld.reserve(heldCells.size());
  for (const std::ptrdiff_t cell : heldCells) {
    const auto [row, col] = grid.place(cell);
    if (!window.contains(row, col)) {
      stillHeld.push_back(cell);
      continue;
    }
    const double pull = (op.product(row, col, x.data()) - op.dataTerm(cell)) / op.diagonal(row, col);
    const bool atLowest = x[static_cast<std::size_t>(cell)] == kLowestLevel;
    if (atLowest ? pull >= -rule.slack : pull <= rule.slack) {
      stillHeld.push_back(cell);
    } else {
      op.setFixed(cell, false);
      change.freed = true;
    }
  }
  // The pixels to hold are sought first and held after, so that every row
  // sees the set as it was.
  const auto seekInRows = [&](int32_t firstRow, int32_t endRow, std::vector<std::ptrdiff_t>& found) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      for (int32_t col = window.firstCol; col < window.endCol; ++col) {
        const std::ptrdiff_t cell = grid.at(row, col);
        const double own = overshoot(op, x, cell);
        if (own <= rule.slack) continue;
        bool largest = true;
        bool besideHeld = false;
        for (int32_t r = std::max(row - 1, 0); r <= std::min(row + 1, grid.rows - 1); ++r) {
          for (int32_t c = std::max(col - 1, 0); c <= std::min(col + 1, grid.cols - 1); ++c) {
            const std::ptrdiff_t neighbour = grid.at(r, c);
            if (overshoot(op, x, neighbour) > own) largest = false;
            if ((op.state(neighbour) & FineOperator::kFixed) != 0) besideHeld = true;
          }
        }
        if (largest || (rule.growHeld && besideHeld)) found.push_back(cell);
      }
    }
  };
  std::vector<std::ptrdiff_t> newlyHeld;
  if (threads == nullptr) {
    seekInRows(window.firstRow, window.endRow, newlyHeld);
  } else {
    newlyHeld =
        threads->collectRows<std::ptrdiff_t>(window.endRow - window.firstRow, window.endCol - window.firstCol,
                                             [&](int32_t first, int32_t end, std::vector<std::ptrdiff_t>& found) {
                                               seekInRows(window.firstRow + first, window.firstRow + end, found);
                                             });
  }
  for (const std::ptrdiff_t cell : newlyHeld) {
    double& value = x[static_cast<std::size_t>(cell)];
    value = value < kLowestLevel ? kLowestLevel : kHighestLevel;
    op.setFixed(cell, true);
    stillHeld.push_back(cell);
    change.held = true;
  }
  heldCells = std::move(stillHeld);
  return change;
}

}  // namespace filamorph
