#include "reconstruct/StencilLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

StencilLevel::StencilLevel(const PaddedGrid& grid)
    : CycleLevel(grid), entries_(grid.cellCount() * kHalfStencilSize, 0.0f) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    cellStep_[slot] = grid_.offset(kHalfOffsets[slot].row, kHalfOffsets[slot].col);
}

void StencilLevel::fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const {
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    const int r = kHalfOffsets[slot].row;
    const int c = kHalfOffsets[slot].col;
    stencil[2 + r][2 + c] = entry(row, col, slot);
    if (slot != 0) stencil[2 - r][2 - c] = entry(row - r, col - c, slot);
  }
}

void StencilLevel::finish(const SolverThreads* threads) {
  referenceRow_ = grid_.rows / 2;
  repeatedSlots_.assign(static_cast<std::size_t>(grid_.rows + 2 * PaddedGrid::kMargin), 0);
  // Each row compares its entries with the reference row's, which are final.
  const auto finishRows = [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      for (int32_t col = 0; col < grid_.cols; ++col) finishCell(row, col);
      findRepeatedSlots(row);
    }
  };
  if (threads != nullptr)
    threads->forRows(grid_.rows, grid_.cols * kHalfStencilSize, finishRows);
  else
    finishRows(0, grid_.rows);
}

void StencilLevel::finish(const std::vector<GridCell>& cells) {
  for (const GridCell& cell : cells) {
    if (cell.row == referenceRow_) {
      finish();
      return;
    }
  }
  for (const GridCell& cell : cells) finishCell(cell.row, cell.col);
  // The cells are in row order.
  for (std::size_t i = 0; i < cells.size(); ++i)
    if (i == 0 || cells[i].row != cells[i - 1].row) findRepeatedSlots(cells[i].row);
}

void StencilLevel::findRepeatedSlots(int32_t row) {
  uint16_t repeated = 0;
  const auto runBytes = static_cast<std::size_t>(grid_.cols) * sizeof(float);
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    if (std::memcmp(slotRun(slot, row, 0), slotRun(slot, referenceRow_, 0), runBytes) == 0)
      repeated = static_cast<uint16_t>(repeated | (1u << slot));
  repeatedSlots_[static_cast<std::size_t>(row + PaddedGrid::kMargin)] = repeated;
}

void StencilLevel::finishCell(int32_t row, int32_t col) {
  // A cell without a positive diagonal takes no part.
  const float own = entry(row, col, 0);
  inverseDiagonal_[static_cast<std::size_t>(grid_.at(row, col))] = own > 0.0f ? 1.0f / own : 0.0f;
}

namespace {

// b - A x along one row, each cell adding its terms slot by slot.
// forward[s] holds the row's entries in slot s, backward[s] those of the
// cells p - o_s, which hold the mirrored halves.
[[gnu::always_inline]] inline void rowResidualsBody(const float* const* forward, const float* const* backward,
                                                    const std::ptrdiff_t* steps, const float* b, const float* x,
                                                    int32_t cols, float* out) {
  // Local copies, which the stores to `out` cannot touch.
  const float* f[kHalfStencilSize];
  const float* m[kHalfStencilSize];
  const float* ahead[kHalfStencilSize];
  const float* behind[kHalfStencilSize];
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    f[slot] = forward[slot];
    m[slot] = backward[slot];
    ahead[slot] = x + steps[slot];
    behind[slot] = x - steps[slot];
  }
  // `out` is a row of its own.
  FILAMORPH_INDEPENDENT_ITERATIONS
  for (int32_t col = 0; col < cols; ++col) {
    float sum = f[0][col] * x[col];
#pragma GCC unroll 16
    for (int slot = 1; slot < kHalfStencilSize; ++slot)
      sum += f[slot][col] * ahead[slot][col] + m[slot][col] * behind[slot][col];
    out[col] = b[col] - sum;
  }
}
FILAMORPH_VECTOR_KERNEL(void, rowResiduals,
                        (const float* const* forward, const float* const* backward, const std::ptrdiff_t* steps,
                         const float* b, const float* x, int32_t cols, float* out),
                        (forward, backward, steps, b, x, cols, out))

}  // namespace

void StencilLevel::residualRow(const float* bRow, const float* xRow, float* out, int32_t row) const {
  const float* forward[kHalfStencilSize];
  const float* backward[kHalfStencilSize];
  const uint16_t repeated = repeatedSlots_[static_cast<std::size_t>(row + PaddedGrid::kMargin)];
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    const int32_t mirrorRow = row - kHalfOffsets[slot].row;
    const bool mirrorRepeated =
        (repeatedSlots_[static_cast<std::size_t>(mirrorRow + PaddedGrid::kMargin)] >> slot & 1u) != 0;
    forward[slot] = slotRun(slot, (repeated >> slot & 1u) != 0 ? referenceRow_ : row, 0);
    backward[slot] = slotRun(slot, mirrorRepeated ? referenceRow_ : mirrorRow, -kHalfOffsets[slot].col);
  }
  rowResiduals(forward, backward, cellStep_, bRow, xRow, grid_.cols, out);
}

double StencilLevel::discBound(const SolverThreads& threads) const {
  // The largest ratio of each row, then of the rows.
  std::vector<double> rowBounds(static_cast<std::size_t>(grid_.rows), 0.0);
  threads.forRows(grid_.rows, grid_.cols * kHalfStencilSize, [&](int32_t firstRow, int32_t endRow) {
    std::vector<float> radius(static_cast<std::size_t>(grid_.cols));
    for (int32_t row = firstRow; row < endRow; ++row) {
      const float* own = slotRun(0, row, 0);
      for (int32_t col = 0; col < grid_.cols; ++col) radius[static_cast<std::size_t>(col)] = std::fabs(own[col]);
      for (int slot = 1; slot < kHalfStencilSize; ++slot) {
        const float* forward = slotRun(slot, row, 0);
        const float* backward = slotRun(slot, row - kHalfOffsets[slot].row, -kHalfOffsets[slot].col);
        for (int32_t col = 0; col < grid_.cols; ++col)
          radius[static_cast<std::size_t>(col)] += std::fabs(forward[col]) + std::fabs(backward[col]);
      }
      double bound = 0.0;
      for (int32_t col = 0; col < grid_.cols; ++col)
        if (own[col] > 0.0f)
          bound = std::max(bound, static_cast<double>(radius[static_cast<std::size_t>(col)]) / own[col]);
      rowBounds[static_cast<std::size_t>(row)] = bound;
    }
  });
  return *std::max_element(rowBounds.begin(), rowBounds.end());
}

}  // namespace filamorph
