#include "reconstruct/WindowSolve.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace filamorph {

namespace {

// Numbers the window's pixels line by line along its shorter side, so that
// the 5 x 5 stencil stays within a band of two lines and two pixels.
struct WindowOrder {
  explicit WindowOrder(const PixelWindow& w)
      : window(w),
        byRows(w.endCol - w.firstCol <= w.endRow - w.firstRow),
        line(byRows ? w.endCol - w.firstCol : w.endRow - w.firstRow) {}

  std::size_t index(int32_t row, int32_t col) const {
    const auto r = static_cast<std::size_t>(row - window.firstRow);
    const auto c = static_cast<std::size_t>(col - window.firstCol);
    const auto length = static_cast<std::size_t>(line);
    return byRows ? r * length + c : c * length + r;
  }
  std::size_t bandWidth() const { return 2 * static_cast<std::size_t>(line) + 2; }

  PixelWindow window;
  bool byRows;
  int32_t line;
};

}  // namespace

int64_t windowSolveWork(const PixelWindow& window) {
  const auto width = static_cast<int64_t>(WindowOrder(window).bandWidth());
  return window.area() * width * width;
}

void WindowSolver::solve(const FineOperator& op, const PixelWindow& window, std::vector<double>& x) {
  const PaddedGrid& grid = op.grid();
  const WindowOrder order(window);
  const auto n = static_cast<std::size_t>(window.area());
  const auto isUnknown = [&](int32_t row, int32_t col) {
    return window.contains(row, col) && (op.state(grid.at(row, col)) & FineOperator::kFixed) == 0;
  };
  // A pixel held or freed changes the equations of its own index and of the
  // unknowns after it alone (the entries before it lie in its own row of the
  // lower triangle), so the factor is redone from the first changed index.
  const bool sameWindow = factoredUnknowns_.size() == n && factored_ == window;
  if (!sameWindow) factoredUnknowns_.assign(n, 2);  // matches neither state
  std::size_t firstChanged = n;
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (int32_t col = window.firstCol; col < window.endCol; ++col) {
      const std::size_t i = order.index(row, col);
      const auto unknown = static_cast<uint8_t>(isUnknown(row, col));
      if (factoredUnknowns_[i] != unknown) firstChanged = std::min(firstChanged, i);
      factoredUnknowns_[i] = unknown;
    }
  }
  factored_ = window;
  BandCholesky& system = system_;
  if (!sameWindow)
    system.reset(n, order.bandWidth());
  else if (firstChanged < n)
    system.clearRowsFrom(firstChanged);
  std::vector<double>& rhs = values_;
  rhs.assign(n, 0.0);
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (int32_t col = window.firstCol; col < window.endCol; ++col) {
      const std::size_t i = order.index(row, col);
      const std::ptrdiff_t cell = grid.at(row, col);
      const bool assemble = i >= firstChanged;
      if (!isUnknown(row, col)) {
        // A held pixel keeps its level: its equation is the identity.
        if (assemble) system.at(i, i) = 1.0;
        rhs[i] = x[static_cast<std::size_t>(cell)];
        continue;
      }
      double stencil[5][5];
      op.energyStencil(row, col, stencil);
      double known = op.dataTerm(cell);
      for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
          const int32_t otherRow = row + r - 2;
          const int32_t otherCol = col + c - 2;
          if ((r == 2 && c == 2) || stencil[r][c] == 0.0) continue;
          if (isUnknown(otherRow, otherCol)) {
            const std::size_t j = order.index(otherRow, otherCol);
            if (assemble && j < i) system.at(i, j) = stencil[r][c];
          } else {
            known -= stencil[r][c] * x[static_cast<std::size_t>(grid.at(otherRow, otherCol))];
          }
        }
      }
      if (assemble) system.at(i, i) = op.diagonal(row, col);
      rhs[i] = known;
    }
  }
  if (firstChanged < n) system.factor(firstChanged);
  system.solve(rhs);
  for (int32_t row = window.firstRow; row < window.endRow; ++row)
    for (int32_t col = window.firstCol; col < window.endCol; ++col)
      if (isUnknown(row, col)) x[static_cast<std::size_t>(grid.at(row, col))] = rhs[order.index(row, col)];
}

}  // namespace filamorph
