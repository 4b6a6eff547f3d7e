#include "reconstruct/ConvergedSolver.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/MultigridPreconditioner.h"
#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

constexpr float kStartLevel = 128.0f;
constexpr double kLowestLevel = 0.0;
constexpr double kHighestLevel = 255.0;
constexpr int32_t kMostStepsPerPass = 1000;
constexpr int32_t kMostPasses = 50;

// The set of pixels held at a bound is found in two phases of passes, each
// pass a solve of the free pixels followed by a change of the set. The first
// phase solves loosely and moves only pixels clearly past a bound or pulling
// away from it; the second solves to the final tolerance and settles the rest.
struct Phase {
  // Conjugate gradients stop at this residual norm relative to the data term's.
  double relativeTolerance;
  // How far in levels a pixel may overshoot a bound, or a held pixel may pull
  // away from it, before the set changes: above the solve's own error, so
  // that the error does not make a pixel flip back and forth.
  double slack;
  // A free pixel past a bound is held at it when no free pixel next to it
  // overshoots further: holding every overshooting pixel at once holds far
  // more than the minimiser does, and freeing them again takes a pass for
  // each ring of the held region.
  // With `growHeld`, a free pixel past a bound next to a held one is held as
  // well: once the large overshoots are held, the pixels they push past the
  // bound lie around them, a small way past it.
  bool growHeld;
};
constexpr Phase kSearch{1e-6, 0.3, false};
// The final tolerance leaves every pixel within a few thousandths of a level.
constexpr Phase kSettle{1e-8, 1e-3, true};

double dot(const PaddedGrid& grid, const std::vector<double>& a, const std::vector<double>& b,
           const SolverThreads& threads) {
  return threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
    return dotRun(a.data() + first, b.data() + first, end - first);
  });
}

// Conjugate gradients on the free pixels from the current x; returns the
// steps taken and leaves the final residual norm in residualNorm.
int32_t conjugateGradients(const FineOperator& op, MultigridPreconditioner& preconditioner, double targetNorm,
                           std::vector<double>& x, double& residualNorm, const SolverThreads& threads) {
  const PaddedGrid& grid = op.grid();
  const std::size_t n = x.size();
  std::vector<double> r(n);
  std::vector<double> direction(n);
  std::vector<double> scratch(n);  // the preconditioned residual, then the operator times the direction
  op.residual(x.data(), r.data(), threads);
  double rr = dot(grid, r, r, threads);
  int32_t steps = 0;
  if (rr > targetNorm * targetNorm) {
    double rz = preconditioner.apply(r.data(), scratch.data());
    threads.forCells(grid, [&](std::size_t first, std::size_t end) {
      std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(first),
                scratch.begin() + static_cast<std::ptrdiff_t>(end),
                direction.begin() + static_cast<std::ptrdiff_t>(first));
    });
    while (steps < kMostStepsPerPass) {
      const double curvature = op.multiply(direction.data(), scratch.data(), threads);
      if (!(curvature > 0.0)) break;
      const double alpha = rz / curvature;
      rr = threads.sumCells(grid, [&](std::size_t first, std::size_t end) {
        return stepRun(alpha, direction.data() + first, scratch.data() + first, x.data() + first, r.data() + first,
                       end - first);
      });
      ++steps;
      if (rr <= targetNorm * targetNorm) break;
      const double rzNext = preconditioner.apply(r.data(), scratch.data());
      const double beta = rzNext / rz;
      rz = rzNext;
      threads.forCells(grid, [&](std::size_t first, std::size_t end) {
        directionRun(beta, scratch.data() + first, direction.data() + first, end - first);
      });
    }
  }
  residualNorm = std::sqrt(rr);
  return steps;
}

// Moves pixels into and out of the set held at a bound: a held pixel whose
// energy would fall by moving inside is freed, and a free pixel past a bound
// that overshoots most in its neighbourhood is held at it.
struct SetChange {
  bool freed = false;
  bool held = false;
};

SetChange updateActiveSet(const Phase& phase, FineOperator& op, std::vector<double>& x,
                          std::vector<std::ptrdiff_t>& fixedCells) {
  const PaddedGrid& grid = op.grid();
  SetChange change;
  std::vector<std::ptrdiff_t> stillFixed;
  for (const std::ptrdiff_t cell : fixedCells) {
    const auto row = static_cast<int32_t>(cell / grid.stride() - PaddedGrid::kMargin);
    const auto col = static_cast<int32_t>(cell % grid.stride() - PaddedGrid::kMargin);
    const double pull = (op.product(row, col, x.data()) - op.dataTerm(cell)) / op.diagonal(row, col);
    const bool atLowest = x[static_cast<std::size_t>(cell)] == kLowestLevel;
    if (atLowest ? pull >= -phase.slack : pull <= phase.slack) {
      stillFixed.push_back(cell);
    } else {
      op.setFixed(cell, false);
      change.freed = true;
    }
  }
  const auto overshoot = [&](std::ptrdiff_t cell) {
    if ((op.state(cell) & FineOperator::kFixed) != 0) return 0.0;
    const double value = x[static_cast<std::size_t>(cell)];
    return std::max({kLowestLevel - value, value - kHighestLevel, 0.0});
  };
  std::vector<std::ptrdiff_t> newlyFixed;
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      const std::ptrdiff_t cell = grid.at(row, col);
      const double own = overshoot(cell);
      if (own <= phase.slack) continue;
      bool largest = true;
      bool besideHeld = false;
      for (int32_t r = std::max(row - 1, 0); r <= std::min(row + 1, grid.rows - 1); ++r) {
        for (int32_t c = std::max(col - 1, 0); c <= std::min(col + 1, grid.cols - 1); ++c) {
          const std::ptrdiff_t neighbour = grid.at(r, c);
          if (overshoot(neighbour) > own) largest = false;
          if ((op.state(neighbour) & FineOperator::kFixed) != 0) besideHeld = true;
        }
      }
      if (largest || (phase.growHeld && besideHeld)) newlyFixed.push_back(cell);
    }
  }
  for (const std::ptrdiff_t cell : newlyFixed) {
    double& value = x[static_cast<std::size_t>(cell)];
    value = value < kLowestLevel ? kLowestLevel : kHighestLevel;
    op.setFixed(cell, true);
    stillFixed.push_back(cell);
    change.held = true;
  }
  fixedCells = std::move(stillFixed);
  return change;
}

}  // namespace

Plane<float> solveConvergedFillIn(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, float plateWeight,
                                  int32_t threadCount, ConvergedSolveReport& report) {
  report = {};
  const int32_t rows = sparseness.rows();
  const int32_t cols = sparseness.cols();
  const auto startLevel = [&](int32_t row, int32_t col) {
    return sparseness[row][col] != 0 ? static_cast<float>(depth[row][col]) : kStartLevel;
  };
  bool anySample = false;
  for (int32_t row = 0; row < rows && !anySample; ++row)
    for (int32_t col = 0; col < cols; ++col) anySample = anySample || sparseness[row][col] != 0;
  if (rows < 4 || cols < 4 || !anySample) {
    Plane<float> work;
    work.allocate(rows, cols);
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < cols; ++col) work[row][col] = startLevel(row, col);
    return work;
  }

  const PaddedGrid grid{rows, cols};
  std::vector<uint8_t> states(grid.cellCount(), 0);
  std::vector<uint8_t> levels(grid.cellCount(), 0);
  std::vector<double> x(grid.cellCount(), 0.0);
  double dataSquares = 0.0;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col) {
      const auto cell = static_cast<std::size_t>(grid.at(row, col));
      if (sparseness[row][col] != 0) {
        states[cell] = FineOperator::kSample;
        levels[cell] = depth[row][col];
        const double data = FineOperator::kDataWeight * depth[row][col];
        dataSquares += data * data;
      }
      x[cell] = startLevel(row, col);
    }
  }
  const double dataNorm = std::sqrt(dataSquares);
  // With every sample at level 0 the data term is 0, and so is the minimiser:
  // a tolerance relative to the data term could never be met.
  if (dataNorm == 0.0) {
    Plane<float> work;
    work.allocate(rows, cols, true);
    report.boundPixels = static_cast<int64_t>(rows) * cols;
    return work;
  }
  FineOperator op(grid, plateWeight, std::move(states), std::move(levels));
  const SolverThreads threads(threadCount);

  std::vector<std::ptrdiff_t> fixedCells;
  double residualNorm = 0.0;
  MultigridPreconditioner preconditioner(op, threads);
  report.levels = static_cast<int32_t>(preconditioner.levelCount());
  // A pass of the first phase that changes nothing ends it, and the same set
  // is solved on to the final tolerance: a model whose unconstrained solution
  // lies within the bounds takes one pass.
  const Phase* phase = &kSearch;
  bool newSet = true;
  while (true) {
    report.iterations +=
        conjugateGradients(op, preconditioner, phase->relativeTolerance * dataNorm, x, residualNorm, threads);
    if (newSet) ++report.passes;
    if (report.passes == kMostPasses) {
      report.settled = false;
      break;
    }
    const SetChange change = updateActiveSet(*phase, op, x, fixedCells);
    newSet = change.freed || change.held;
    if (newSet) {
      preconditioner.followFixedPixels();
    } else if (phase == &kSearch) {
      phase = &kSettle;
    } else {
      break;
    }
  }
  report.relativeResidual = residualNorm / dataNorm;

  // Made only now: the solve's own vectors are the peak of its memory.
  Plane<float> work;
  work.allocate(rows, cols);
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t col = 0; col < cols; ++col) {
      double value = x[static_cast<std::size_t>(grid.at(row, col))];
      if (value <= kLowestLevel || value >= kHighestLevel) ++report.boundPixels;
      value = value < kLowestLevel ? kLowestLevel : (value > kHighestLevel ? kHighestLevel : value);
      work[row][col] = static_cast<float>(value);
    }
  }
  return work;
}

}  // namespace filamorph
