#include "reconstruct/HeldSetWindows.h"

#include <algorithm>

#include "reconstruct/WindowSolve.h"

namespace filamorph {

namespace {

// Pixels around an overshoot that a window takes in: the levels beyond them
// barely move when pixels inside are held.
constexpr int32_t kWindowMargin = 8;
// The most work (windowSolveWork) one window may take: its factorisation then
// costs a fraction of a conjugate-gradient step of a 512 x 512 image.
constexpr int64_t kMostWindowWork = 6'000'000;
constexpr int32_t kMostWindowPasses = 100;
// The work all window solves together may take per pixel of the image, about
// as much as a few conjugate-gradient steps, but at least a few windows'
// worth: an image with very many clusters leaves the rest to the passes over
// the whole image.
constexpr int64_t kWindowWorkPerPixel = 400;
constexpr int64_t kLeastWindowBudget = 4 * kMostWindowWork;

// The solves within a window are exact for the levels around it, so a slack
// just above rounding suffices; the large overshoots are held first, then
// the set grows around them, as on the whole image.
constexpr HeldSetRule kWindowRules[] = {{1e-3, false}, {1e-3, true}};

bool overlap(const PixelWindow& a, const PixelWindow& b) {
  return a.firstRow < b.endRow && b.firstRow < a.endRow && a.firstCol < b.endCol && b.firstCol < a.endCol;
}

PixelWindow merged(const PixelWindow& a, const PixelWindow& b) {
  return {std::min(a.firstRow, b.firstRow), std::max(a.endRow, b.endRow), std::min(a.firstCol, b.firstCol),
          std::max(a.endCol, b.endCol)};
}

}  // namespace

std::vector<PixelWindow> overshootWindows(const FineOperator& op, const std::vector<double>& x, double slack) {
  const PaddedGrid& grid = op.grid();
  std::vector<PixelWindow> windows;
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      if (overshoot(op, x, grid.at(row, col)) <= slack) continue;
      PixelWindow window{std::max(row - kWindowMargin, 0), std::min(row + kWindowMargin + 1, grid.rows),
                         std::max(col - kWindowMargin, 0), std::min(col + kWindowMargin + 1, grid.cols)};
      // Every window taken in grows this one, which may then meet others.
      for (auto other = windows.begin(); other != windows.end();) {
        if (overlap(window, *other)) {
          window = merged(window, *other);
          windows.erase(other);
          other = windows.begin();
        } else {
          ++other;
        }
      }
      if (windowSolveWork(window) > kMostWindowWork || window.area() == static_cast<int64_t>(grid.unknownCount()))
        return {};
      windows.push_back(window);
    }
  }
  return windows;
}

HeldSetChange settleWindows(const std::vector<PixelWindow>& windows, FineOperator& op, std::vector<double>& x,
                            std::vector<std::ptrdiff_t>& heldCells) {
  HeldSetChange total;
  WindowSolver solver;
  int64_t budget = std::max(kWindowWorkPerPixel * static_cast<int64_t>(op.grid().unknownCount()), kLeastWindowBudget);
  for (const PixelWindow& window : windows) {
    const int64_t work = windowSolveWork(window);
    int32_t passes = 0;
    for (const HeldSetRule& rule : kWindowRules) {
      while (passes < kMostWindowPasses && budget >= work) {
        budget -= work;
        solver.solve(op, window, x);
        ++passes;
        const HeldSetChange change = updateHeldSet(rule, op, x, heldCells, window);
        total.freed = total.freed || change.freed;
        total.held = total.held || change.held;
        if (!change.any()) break;
      }
    }
  }
  return total;
}

}  // namespace filamorph
