#include "reconstruct/MultigridPreconditioner.h"

#include <algorithm>
#include <utility>

#include "reconstruct/GalerkinCoarsening.h"

namespace filamorph {

namespace {

// A level with this many unknowns or fewer is solved directly.
constexpr std::size_t kDirectSolveLimit = 400;
// An axis shorter than this is not halved.
constexpr int32_t kShortestHalvedAxis = 6;

}  // namespace

MultigridPreconditioner::CoarseLevel::CoarseLevel(const PaddedGrid& grid)
    : op(grid), x(grid.cellCount(), 0.0), b(grid.cellCount(), 0.0), t(grid.cellCount(), 0.0) {}

MultigridPreconditioner::MultigridPreconditioner(const FineOperator& fine, std::vector<std::ptrdiff_t> fixedCells)
    : fine_(fine), fixedCells_(std::move(fixedCells)) {
  PaddedGrid grid = fine.grid();
  while (grid.unknownCount() > kDirectSolveLimit) {
    rowTransfers_.push_back(AxisTransfer::make(grid.rows, grid.rows >= kShortestHalvedAxis));
    colTransfers_.push_back(AxisTransfer::make(grid.cols, grid.cols >= kShortestHalvedAxis));
    grid = PaddedGrid{rowTransfers_.back().coarseCount, colTransfers_.back().coarseCount};
    coarseLevels_.emplace_back(grid);
    if (coarseLevels_.size() == 1)
      coarsenImageOperator(fine, fixedCells_, rowTransfers_[0], colTransfers_[0], coarseLevels_[0].op);
    else
      coarsenLevel(coarseLevels_[coarseLevels_.size() - 2].op, rowTransfers_.back(), colTransfers_.back(),
                   coarseLevels_.back().op);
  }
  if (!coarseLevels_.empty()) fineScratch_.assign(fine.grid().cellCount(), 0.0);
  factorCoarsest();
}

void MultigridPreconditioner::factorCoarsest() {
  const PaddedGrid grid = coarseLevels_.empty() ? fine_.grid() : coarseLevels_.back().op.grid();
  const std::size_t n = grid.unknownCount();
  std::vector<double> matrix(n * n, 0.0);
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      const std::size_t i =
          static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.cols) + static_cast<std::size_t>(col);
      double stencil[5][5];
      bool cutLoose = false;
      if (coarseLevels_.empty()) {
        fine_.energyStencil(row, col, stencil);
        stencil[2][2] = fine_.diagonal(row, col);
        cutLoose = (fine_.state(grid.at(row, col)) & FineOperator::kFixed) != 0;
      } else {
        coarseLevels_.back().op.fullStencil(row, col, stencil);
      }
      for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
          const int32_t otherRow = row + r - 2;
          const int32_t otherCol = col + c - 2;
          if (stencil[r][c] == 0.0 || otherRow < 0 || otherRow >= grid.rows || otherCol < 0 || otherCol >= grid.cols)
            continue;
          const bool isDiagonal = r == 2 && c == 2;
          if (coarseLevels_.empty() && !isDiagonal &&
              (cutLoose || (fine_.state(grid.at(otherRow, otherCol)) & FineOperator::kFixed) != 0))
            continue;
          const std::size_t j = static_cast<std::size_t>(otherRow) * static_cast<std::size_t>(grid.cols) +
                                static_cast<std::size_t>(otherCol);
          matrix[i * n + j] = stencil[r][c];
        }
      }
    }
  }
  coarsest_.factor(std::move(matrix), n);
  coarsestValues_.assign(n, 0.0);
}

void MultigridPreconditioner::solveCoarsest(const PaddedGrid& grid, const double* b, double* x) {
  std::size_t i = 0;
  for (int32_t row = 0; row < grid.rows; ++row)
    for (int32_t col = 0; col < grid.cols; ++col) coarsestValues_[i++] = b[grid.at(row, col)];
  coarsest_.solve(coarsestValues_);
  i = 0;
  for (int32_t row = 0; row < grid.rows; ++row)
    for (int32_t col = 0; col < grid.cols; ++col) x[grid.at(row, col)] = coarsestValues_[i++];
}

void MultigridPreconditioner::apply(const double* residual, double* correction) {
  const PaddedGrid& grid = fine_.grid();
  std::fill(correction, correction + grid.cellCount(), 0.0);
  if (coarseLevels_.empty()) {
    // Pixels held when the matrix was factored are cut loose in it and get
    // residual / diagonal, which is 0; pixels held since are set to 0.
    solveCoarsest(grid, residual, correction);
    for (const std::ptrdiff_t cell : fixedCells_) correction[cell] = 0.0;
  } else {
    fine_.forwardSweep(residual, correction);
    fine_.residual(residual, correction, fineScratch_.data());
    restrictResidual(rowTransfers_[0], colTransfers_[0], grid, coarseLevels_[0].op.grid(), fineScratch_.data(),
                     coarseLevels_[0].b.data());
    cycle(0);
    prolongateAdd(rowTransfers_[0], colTransfers_[0], grid, coarseLevels_[0].op.grid(), coarseLevels_[0].x.data(),
                  correction);
    for (const std::ptrdiff_t cell : fixedCells_) correction[cell] = 0.0;
    fine_.backwardSweep(residual, correction);
  }
}

void MultigridPreconditioner::cycle(std::size_t level) {
  CoarseLevel& here = coarseLevels_[level];
  const PaddedGrid& grid = here.op.grid();
  if (level + 1 == coarseLevels_.size()) {
    solveCoarsest(grid, here.b.data(), here.x.data());
    return;
  }
  CoarseLevel& below = coarseLevels_[level + 1];
  std::fill(here.x.begin(), here.x.end(), 0.0);
  here.op.forwardSweep(here.b.data(), here.x.data());
  here.op.residual(here.b.data(), here.x.data(), here.t.data());
  restrictResidual(rowTransfers_[level + 1], colTransfers_[level + 1], grid, below.op.grid(), here.t.data(),
                   below.b.data());
  cycle(level + 1);
  prolongateAdd(rowTransfers_[level + 1], colTransfers_[level + 1], grid, below.op.grid(), below.x.data(),
                here.x.data());
  here.op.backwardSweep(here.b.data(), here.x.data());
}

}  // namespace filamorph
