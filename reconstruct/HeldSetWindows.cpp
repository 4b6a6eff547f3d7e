#include "reconstruct/HeldSetWindows.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

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

// How far beyond its window a window's solves and rules read the levels and
// the held set: the stencil's reach.
constexpr int32_t kReach = 2;

// Whether the solves of one window would read pixels of the other: windows
// that do not are settled independently, on either thread.
bool near(const PixelWindow& a, const PixelWindow& b) {
  return a.firstRow - kReach < b.endRow && b.firstRow - kReach < a.endRow && a.firstCol - kReach < b.endCol &&
         b.firstCol - kReach < a.endCol;
}

PixelWindow merged(const PixelWindow& a, const PixelWindow& b) {
  return {std::min(a.firstRow, b.firstRow), std::max(a.endRow, b.endRow), std::min(a.firstCol, b.firstCol),
          std::max(a.endCol, b.endCol)};
}

}  // namespace

std::vector<PixelWindow> overshootWindows(const FineOperator& op, const std::vector<double>& x, double slack,
                                          const SolverThreads& threads) {
  const PaddedGrid& grid = op.grid();
  // The overshooting pixels are found on the threads, then taken in row order.
  const std::vector<GridCell> overshooting = threads.collectRows<GridCell>(
      grid.rows, grid.cols, [&](int32_t firstRow, int32_t endRow, std::vector<GridCell>& found) {
        for (int32_t row = firstRow; row < endRow; ++row)
          for (int32_t col = 0; col < grid.cols; ++col)
            if (overshoot(op, x, grid.at(row, col)) > slack) found.push_back({row, col});
      });
  std::vector<PixelWindow> windows;
  for (const auto& [row, col] : overshooting) {
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
  return windows;
}

namespace {

// The held-set rules with exact solves inside one window, for at most
// `passes` solves; `heldCells` holds the held pixels inside the window.
HeldSetChange settleWindow(const PixelWindow& window, int64_t passes, FineOperator& op, std::vector<double>& x,
                           std::vector<std::ptrdiff_t>& heldCells) {
  HeldSetChange total;
  WindowSolver solver;
  int64_t passesTaken = 0;
  for (const HeldSetRule& rule : kWindowRules) {
    while (passesTaken < passes) {
      solver.solve(op, window, x);
      ++passesTaken;
      const HeldSetChange change = updateHeldSet(rule, op, x, heldCells, window);
      total.freed = total.freed || change.freed;
      total.held = total.held || change.held;
      if (!change.any()) break;
    }
  }
  return total;
}

}  // namespace

HeldSetChange settleWindows(const std::vector<PixelWindow>& windows, FineOperator& op, std::vector<double>& x,
                            std::vector<std::ptrdiff_t>& heldCells, const SolverThreads& threads) {
  const PaddedGrid& grid = op.grid();
  if (windows.empty()) return {};
  // Every window may take as many passes as the budget allows all of them:
  // the same share of the budget for the work of each, whichever runs first.
  const int64_t budget = std::max(kWindowWorkPerPixel * static_cast<int64_t>(grid.unknownCount()), kLeastWindowBudget);
  int64_t work = 0;
  for (const PixelWindow& window : windows) work += windowSolveWork(window);
  const int64_t passes = std::min<int64_t>(kMostWindowPasses, budget / work);
  // The held pixels of each window, and those of no window.
  std::vector<std::vector<std::ptrdiff_t>> heldInside(windows.size());
  std::vector<std::ptrdiff_t> heldElsewhere;
  for (const std::ptrdiff_t cell : heldCells) {
    const GridCell place = grid.place(cell);
    const auto inside = std::find_if(windows.begin(), windows.end(),
                                     [&](const PixelWindow& window) { return window.contains(place.row, place.col); });
    if (inside == windows.end())
      heldElsewhere.push_back(cell);
    else
      heldInside[static_cast<std::size_t>(inside - windows.begin())].push_back(cell);
  }
  // Windows near one another are settled in turn, by one task; the tasks
  // share no pixel. A window joins the task of the first window it is near,
  // and merges the tasks of the others it is near.
  std::vector<std::size_t> taskOf(windows.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    taskOf[i] = i;
    for (std::size_t j = 0; j < i; ++j) {
      if (!near(windows[i], windows[j]) || taskOf[j] == taskOf[i]) continue;
      const std::size_t from = std::max(taskOf[i], taskOf[j]);
      const std::size_t to = std::min(taskOf[i], taskOf[j]);
      for (std::size_t k = 0; k <= i; ++k)
        if (taskOf[k] == from) taskOf[k] = to;
    }
  }
  std::vector<std::vector<std::size_t>> tasks;
  std::vector<int64_t> taskWork;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    if (taskOf[i] != i) continue;
    tasks.emplace_back();
    taskWork.push_back(0);
    for (std::size_t k = i; k < windows.size(); ++k) {
      if (taskOf[k] != i) continue;
      tasks.back().push_back(k);
      taskWork.back() += windowSolveWork(windows[k]);
    }
  }
  // The most work first, which the calling thread takes.
  std::vector<std::size_t> order(tasks.size());
  for (std::size_t t = 0; t < order.size(); ++t) order[t] = t;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return taskWork[a] > taskWork[b]; });
  std::vector<HeldSetChange> changes(windows.size());
  threads.forTasks(static_cast<int32_t>(tasks.size()), [&](int32_t task) {
    for (const std::size_t i : tasks[order[static_cast<std::size_t>(task)]])
      changes[i] = settleWindow(windows[i], passes, op, x, heldInside[i]);
  });
  HeldSetChange total;
  heldCells = std::move(heldElsewhere);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    heldCells.insert(heldCells.end(), heldInside[i].begin(), heldInside[i].end());
    total.freed = total.freed || changes[i].freed;
    total.held = total.held || changes[i].held;
  }
  return total;
}

}  // namespace filamorph
