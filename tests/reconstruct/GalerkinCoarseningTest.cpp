// The grid transfers of the multigrid solver are P and P^T, and its coarse
// levels P^T A P of the level above, with P the bilinear prolongation:
// checked against dense matrices.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/GalerkinCoarsening.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/SolverFixtures.h"
#include "reconstruct/SolverThreads.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph {
namespace {

using Matrix = std::vector<std::vector<double>>;

// A symmetric level with random entries, from a seed.
void fillRandomly(StencilLevel& level, uint32_t seed) {
  std::mt19937 random(seed);
  testing::fillRandomly(level, random);
}

// The dense matrix of a grid whose row (row, col) is stencilOf(row, col, s).
template <typename StencilOf>
Matrix denseFromStencils(const PaddedGrid& grid, StencilOf&& stencilOf) {
  const auto n = static_cast<std::size_t>(grid.rows * grid.cols);
  Matrix a(n, std::vector<double>(n, 0.0));
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      double stencil[5][5];
      stencilOf(row, col, stencil);
      for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
          const int32_t otherRow = row + r - 2;
          const int32_t otherCol = col + c - 2;
          if (otherRow < 0 || otherRow >= grid.rows || otherCol < 0 || otherCol >= grid.cols) continue;
          a[static_cast<std::size_t>(row * grid.cols + col)]
           [static_cast<std::size_t>(otherRow * grid.cols + otherCol)] = stencil[r][c];
        }
      }
    }
  }
  return a;
}

Matrix denseOf(const StencilLevel& level) {
  return denseFromStencils(
      level.grid(), [&](int32_t row, int32_t col, double(&stencil)[5][5]) { level.fullStencil(row, col, stencil); });
}

// The whole system of an image: the smoothness stencils and the diagonal
// with the data term.
Matrix denseOf(const FineOperator& op) {
  return denseFromStencils(op.grid(), [&](int32_t row, int32_t col, double(&stencil)[5][5]) {
    op.energyStencil(row, col, stencil);
    stencil[2][2] = op.diagonal(row, col);
  });
}

// P[fine][coarse] from the links of both axes.
Matrix prolongation(const AxisTransfer& rows, const AxisTransfer& cols) {
  Matrix p(static_cast<std::size_t>(rows.fineCount * cols.fineCount),
           std::vector<double>(static_cast<std::size_t>(rows.coarseCount * cols.coarseCount), 0.0));
  for (int32_t row = 0; row < rows.fineCount; ++row)
    for (int32_t col = 0; col < cols.fineCount; ++col)
      for (const auto& rowLink : rows.parents[static_cast<std::size_t>(row)])
        for (const auto& colLink : cols.parents[static_cast<std::size_t>(col)])
          p[static_cast<std::size_t>(row * cols.fineCount + col)]
           [static_cast<std::size_t>(rowLink.index * cols.coarseCount + colLink.index)] +=
              rowLink.weight * colLink.weight;
  return p;
}

void expectTripleProduct(const Matrix& a, const Matrix& p, const Matrix& c) {
  const std::size_t fineCount = a.size();
  const std::size_t coarseCount = c.size();
  for (std::size_t i = 0; i < coarseCount; ++i) {
    for (std::size_t j = 0; j < coarseCount; ++j) {
      double expected = 0.0;
      for (std::size_t k = 0; k < fineCount; ++k) {
        if (p[k][i] == 0.0) continue;
        for (std::size_t l = 0; l < fineCount; ++l) expected += p[k][i] * a[k][l] * p[l][j];
      }
      ASSERT_NEAR(c[i][j], expected, 1e-4 * (1.0 + std::fabs(expected))) << "coarse cells " << i << ", " << j;
    }
  }
}

struct CoarseningCase {
  int32_t rows, cols;
};

class CoarsenLevel : public ::testing::TestWithParam<CoarseningCase> {};

// Squares with even and odd sides take the path for cells away from the
// edges; strips are halved along their length only.
TEST_P(CoarsenLevel, EqualsTheDenseTripleProduct) {
  const CoarseningCase shape = GetParam();
  StencilLevel fine(PaddedGrid{shape.rows, shape.cols});
  fillRandomly(fine, static_cast<uint32_t>(shape.rows * 100 + shape.cols));
  const AxisTransfer rows = AxisTransfer::make(shape.rows, shape.rows >= 6);
  const AxisTransfer cols = AxisTransfer::make(shape.cols, shape.cols >= 6);
  StencilLevel coarse(PaddedGrid{rows.coarseCount, cols.coarseCount});
  const SolverThreads threads(2);
  coarsenLevel(fine, rows, cols, coarse, threads);

  expectTripleProduct(denseOf(fine), prolongation(rows, cols), denseOf(coarse));
}

// The first coarse level, from the image's operator with its data term, on
// both thread counts. It is also bit for bit what the cell-by-cell path makes,
// which walks every link: the shared smoothness stencils and the data term of
// the cells away from the edges are shortcuts to the same sums.
TEST_P(CoarsenLevel, ImageOperatorEqualsTheDenseTripleProduct) {
  const CoarseningCase shape = GetParam();
  const FineOperator op = testing::randomFineOperator(PaddedGrid{shape.rows, shape.cols}, 3u);
  const AxisTransfer rows = AxisTransfer::make(shape.rows, shape.rows >= 6);
  const AxisTransfer cols = AxisTransfer::make(shape.cols, shape.cols >= 6);
  StencilLevel cellByCell(PaddedGrid{rows.coarseCount, cols.coarseCount});
  std::vector<GridCell> everyCell;
  for (int32_t row = 0; row < rows.coarseCount; ++row)
    for (int32_t col = 0; col < cols.coarseCount; ++col) everyCell.push_back({row, col});
  recoarsenImageCells(op, rows, cols, everyCell, cellByCell);
  for (const int32_t threadCount : {1, 2}) {
    StencilLevel coarse(PaddedGrid{rows.coarseCount, cols.coarseCount});
    const SolverThreads threads(threadCount);
    coarsenImageOperator(op, rows, cols, coarse, threads);
    expectTripleProduct(denseOf(op), prolongation(rows, cols), denseOf(coarse));
    for (const GridCell& cell : everyCell)
      for (int slot = 0; slot < kHalfStencilSize; ++slot)
        ASSERT_EQ(coarse.entry(cell.row, cell.col, slot), cellByCell.entry(cell.row, cell.col, slot))
            << cell.row << ", " << cell.col << ", slot " << slot;
  }
}

// P with the rows of the held pixels cut off.
Matrix prolongationOfFreePixels(const AxisTransfer& rows, const AxisTransfer& cols, const FineOperator& op) {
  Matrix p = prolongation(rows, cols);
  for (int32_t row = 0; row < rows.fineCount; ++row)
    for (int32_t col = 0; col < cols.fineCount; ++col)
      if ((op.state(op.grid().at(row, col)) & FineOperator::kFixed) != 0)
        std::fill(p[static_cast<std::size_t>(row * cols.fineCount + col)].begin(),
                  p[static_cast<std::size_t>(row * cols.fineCount + col)].end(), 0.0);
  return p;
}

// Pixels held and freed again: the cells redone around them make both coarse
// levels the triple products of the free pixels' system. The held block
// leaves coarse cell (1, 1) without a free child.
TEST_P(CoarsenLevel, CellsRedoneAroundHeldPixels) {
  const CoarseningCase shape = GetParam();
  FineOperator op = testing::randomFineOperator(PaddedGrid{shape.rows, shape.cols}, 5u);
  const AxisTransfer rows = AxisTransfer::make(shape.rows, shape.rows >= 6);
  const AxisTransfer cols = AxisTransfer::make(shape.cols, shape.cols >= 6);
  StencilLevel coarse(PaddedGrid{rows.coarseCount, cols.coarseCount});
  const SolverThreads threads(1);
  coarsenImageOperator(op, rows, cols, coarse, threads);
  const AxisTransfer nextRows = AxisTransfer::make(rows.coarseCount, rows.coarseCount >= 6);
  const AxisTransfer nextCols = AxisTransfer::make(cols.coarseCount, cols.coarseCount >= 6);
  StencilLevel next(PaddedGrid{nextRows.coarseCount, nextCols.coarseCount});
  coarsenLevel(coarse, nextRows, nextCols, next, threads);

  std::vector<GridCell> held;
  for (int32_t row = 1; row <= 3; ++row)
    for (int32_t col = 1; col <= 3; ++col) held.push_back({row, col});
  held.push_back({shape.rows - 1, 0});
  for (const bool hold : {true, false}) {
    for (const GridCell& cell : held) op.setFixed(op.grid().at(cell.row, cell.col), hold);
    const std::vector<GridCell> redone = coarseCellsReading(rows, cols, held);
    recoarsenImageCells(op, rows, cols, redone, coarse);
    recoarsenCells(coarse, nextRows, nextCols, coarseCellsReading(nextRows, nextCols, redone), next);

    SCOPED_TRACE(hold ? "held" : "freed again");
    expectTripleProduct(denseOf(op), prolongationOfFreePixels(rows, cols, op), denseOf(coarse));
    expectTripleProduct(denseOf(coarse), prolongation(nextRows, nextCols), denseOf(next));
    EXPECT_EQ(coarse.inverseDiagonal()[coarse.grid().at(1, 1)] == 0.0f, hold);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, CoarsenLevel,
                         ::testing::Values(CoarseningCase{16, 18}, CoarseningCase{17, 15}, CoarseningCase{5, 30},
                                           CoarseningCase{27, 4}, CoarseningCase{30, 5}),
                         [](const auto& info) {
                           return std::to_string(info.param.rows) + "x" + std::to_string(info.param.cols);
                         });

// Rows whose far slots repeat one another are read from a reference row; a
// changed cell, in that row or another, must be read from its own.
TEST(StencilLevelResidual, EqualsTheDenseOperatorAsCellsChange) {
  const PaddedGrid grid{14, 21};
  StencilLevel level(grid);
  std::mt19937 random(5u);
  std::uniform_real_distribution<float> entry(-1.0f, 1.0f);
  std::vector<float> byColumn(static_cast<std::size_t>(grid.cols * kHalfStencilSize));
  for (float& value : byColumn) value = entry(random);
  // Every row the same in every slot but the diagonal, as the smoothness
  // term makes them away from the edges.
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      for (int slot = 0; slot < kHalfStencilSize; ++slot) {
        const int32_t otherRow = row + kHalfOffsets[slot].row;
        const int32_t otherCol = col + kHalfOffsets[slot].col;
        if (otherRow >= grid.rows || otherCol < 0 || otherCol >= grid.cols) continue;
        level.entry(row, col, slot) =
            slot == 0 ? 30.0f + entry(random) : byColumn[static_cast<std::size_t>(col * kHalfStencilSize + slot)];
      }
    }
  }
  level.finish();
  std::vector<float> b(grid.cellCount(), 0.0f);
  std::vector<float> x(grid.cellCount(), 0.0f);
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      b[static_cast<std::size_t>(grid.at(row, col))] = entry(random);
      x[static_cast<std::size_t>(grid.at(row, col))] = entry(random);
    }
  }
  const auto expectDenseResidual = [&](const char* when) {
    const Matrix a = denseOf(level);
    std::vector<float> out(static_cast<std::size_t>(grid.cols));
    for (int32_t row = 0; row < grid.rows; ++row) {
      const std::ptrdiff_t first = grid.at(row, 0);
      level.residualRow(b.data() + first, x.data() + first, out.data(), row);
      for (int32_t col = 0; col < grid.cols; ++col) {
        const auto i = static_cast<std::size_t>(row * grid.cols + col);
        double expected = b[static_cast<std::size_t>(grid.at(row, col))];
        for (std::size_t j = 0; j < a.size(); ++j)
          expected -= a[i][j] * x[static_cast<std::size_t>(
                                    grid.at(static_cast<int32_t>(j) / grid.cols, static_cast<int32_t>(j) % grid.cols))];
        ASSERT_NEAR(out[static_cast<std::size_t>(col)], expected, 1e-4) << when << ": " << row << ", " << col;
      }
    }
  };
  expectDenseResidual("as made");
  // A far slot of a row away from the middle, then of the middle row.
  for (const GridCell cell : {GridCell{3, 9}, GridCell{grid.rows / 2, 4}}) {
    level.entry(cell.row, cell.col, halfSlot(2, 1)) = 0.75f;
    level.entry(cell.row, cell.col, halfSlot(0, 2)) = -0.5f;
    level.finish({cell});
    expectDenseResidual(cell.row == grid.rows / 2 ? "middle row changed" : "other row changed");
  }
}

// The transfers along rows of every length take the vector loops with and
// without their last partial vectors; strips and short axes take the links.
class GridTransfers : public ::testing::TestWithParam<CoarseningCase> {};

TEST_P(GridTransfers, ApplyTheProlongationAndItsTranspose) {
  const auto [rows, cols] = GetParam();
  const AxisTransfer rowTransfer = AxisTransfer::make(rows, rows >= 6);
  const AxisTransfer colTransfer = AxisTransfer::make(cols, cols >= 6);
  const Matrix p = prolongation(rowTransfer, colTransfer);
  const PaddedGrid fine{rows, cols};
  const PaddedGrid coarse{rowTransfer.coarseCount, colTransfer.coarseCount};
  StencilLevel level(fine);
  fillRandomly(level, 7u);
  // Cells without a diagonal take no part; a corner and a middle cell.
  for (const GridCell cell : {GridCell{0, 0}, GridCell{rows / 2, cols / 2}}) level.entry(cell.row, cell.col, 0) = 0.0f;
  level.finish();
  std::mt19937 random(11u);
  const std::vector<float> e = testing::randomVector(coarse, random);
  const std::vector<float> b = testing::randomVector(fine, random);
  const std::vector<float> x = testing::randomVector(fine, random);
  const Matrix a = denseOf(level);
  for (const int32_t threadCount : {1, 2}) {
    const SolverThreads threads(threadCount);
    for (const bool zeroWhereNoPart : {false, true}) {
      std::vector<float> out = x;
      prolongateAdd(rowTransfer, colTransfer, coarse, e.data(), level, zeroWhereNoPart, out.data(), threads);
      for (int32_t row = 0; row < rows; ++row) {
        for (int32_t col = 0; col < cols; ++col) {
          const auto i = static_cast<std::size_t>(row * cols + col);
          const auto cell = static_cast<std::size_t>(fine.at(row, col));
          double expected = x[cell];
          for (int32_t k = 0; k < coarse.rows * coarse.cols; ++k)
            expected += p[i][static_cast<std::size_t>(k)] *
                        e[static_cast<std::size_t>(coarse.at(k / coarse.cols, k % coarse.cols))];
          if (zeroWhereNoPart && level.inverseDiagonal()[cell] == 0.0f) expected = 0.0;
          ASSERT_NEAR(out[cell], expected, 1e-5) << "fine cell " << row << ", " << col;
        }
      }
    }
  }
  // The restriction in blocks of even and odd rows.
  for (const int32_t rowsPerBlock : {3, 8}) {
    const std::vector<float> restricted =
        testing::restrictedResidual(rowTransfer, colTransfer, level, b.data(), x.data(), coarse, rowsPerBlock);
    std::vector<double> residual(static_cast<std::size_t>(rows * cols));
    for (std::size_t i = 0; i < residual.size(); ++i) {
      const int32_t row = static_cast<int32_t>(i) / cols;
      const int32_t col = static_cast<int32_t>(i) % cols;
      residual[i] = b[static_cast<std::size_t>(fine.at(row, col))];
      for (std::size_t j = 0; j < residual.size(); ++j)
        residual[i] -=
            a[i][j] *
            x[static_cast<std::size_t>(fine.at(static_cast<int32_t>(j) / cols, static_cast<int32_t>(j) % cols))];
    }
    for (int32_t k = 0; k < coarse.rows * coarse.cols; ++k) {
      double expected = 0.0;
      for (std::size_t i = 0; i < residual.size(); ++i) expected += p[i][static_cast<std::size_t>(k)] * residual[i];
      ASSERT_NEAR(restricted[static_cast<std::size_t>(coarse.at(k / coarse.cols, k % coarse.cols))], expected, 1e-3)
          << "coarse cell " << k << ", blocks of " << rowsPerBlock;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GridTransfers,
                         ::testing::Values(CoarseningCase{16, 18}, CoarseningCase{17, 15}, CoarseningCase{5, 70},
                                           CoarseningCase{70, 5}, CoarseningCase{9, 75}, CoarseningCase{8, 66},
                                           CoarseningCase{6, 6}, CoarseningCase{6, 7}),
                         [](const auto& info) {
                           return std::to_string(info.param.rows) + "x" + std::to_string(info.param.cols);
                         });

}  // namespace
}  // namespace filamorph
