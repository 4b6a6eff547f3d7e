#include "reconstruct/StencilLevel.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

StencilLevel::StencilLevel(const PaddedGrid& grid)
    : CycleLevel(grid), entries_(grid.cellCount() * kHalfStencilSize, 0.0f) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    cellStep_[slot] = grid_.offset(kHalfOffsets[slot].row, kHalfOffsets[slot].col);
    mirrorStep_[slot] = kHalfStencilSize * kHalfOffsets[slot].row * grid_.stride() + kHalfOffsets[slot].col;
  }
}

void StencilLevel::fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const {
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    const int r = kHalfOffsets[slot].row;
    const int c = kHalfOffsets[slot].col;
    stencil[2 + r][2 + c] = entry(row, col, slot);
    if (slot != 0) stencil[2 - r][2 - c] = entry(row - r, col - c, slot);
  }
}

void StencilLevel::finish() {
  for (int32_t row = 0; row < grid_.rows; ++row)
    for (int32_t col = 0; col < grid_.cols; ++col) finishCell(row, col);
}

void StencilLevel::finish(const std::vector<GridCell>& cells) {
  for (const GridCell& cell : cells) finishCell(cell.row, cell.col);
}

void StencilLevel::finishCell(int32_t row, int32_t col) {
  // A cell without a positive diagonal takes no part.
  const float own = entry(row, col, 0);
  inverseDiagonal_[static_cast<std::size_t>(grid_.at(row, col))] = own > 0.0f ? 1.0f / own : 0.0f;
}

namespace {

// b - A x along one row, slot by slot over the whole row so that each step is
// one vector loop; every cell still adds its terms in the same order.
// `entries` points at the row's first cell in the first slot, `stride` apart
// from the next slot's.
[[gnu::always_inline]] inline void rowResidualsBody(const float* entries, std::ptrdiff_t stride,
                                                    const std::ptrdiff_t* mirrorSteps, const std::ptrdiff_t* steps,
                                                    const float* b, const float* x, int32_t cols, float* out) {
  for (int32_t col = 0; col < cols; ++col) out[col] = entries[col] * x[col];
  for (int slot = 1; slot < kHalfStencilSize; ++slot) {
    const std::ptrdiff_t step = steps[slot];
    const float* forward = entries + slot * stride;
    const float* backward = forward - mirrorSteps[slot];
    const float* ahead = x + step;
    const float* behind = x - step;
    for (int32_t col = 0; col < cols; ++col) out[col] += forward[col] * ahead[col] + backward[col] * behind[col];
  }
  for (int32_t col = 0; col < cols; ++col) out[col] = b[col] - out[col];
}
FILAMORPH_VECTOR_KERNEL(void, rowResiduals,
                        (const float* entries, std::ptrdiff_t stride, const std::ptrdiff_t* mirrorSteps,
                         const std::ptrdiff_t* steps, const float* b, const float* x, int32_t cols, float* out),
                        (entries, stride, mirrorSteps, steps, b, x, cols, out))

}  // namespace

void StencilLevel::residualRow(const float* b, const float* x, float* out, int32_t row) const {
  const std::ptrdiff_t first = grid_.at(row, 0);
  rowResiduals(slotRun(0, row, 0), grid_.stride(), mirrorStep_, cellStep_, b + first, x + first, grid_.cols, out);
}

double StencilLevel::discBound() const {
  double bound = 0.0;
  std::vector<float> radius(static_cast<std::size_t>(grid_.cols));
  for (int32_t row = 0; row < grid_.rows; ++row) {
    const float* own = slotRun(0, row, 0);
    for (int32_t col = 0; col < grid_.cols; ++col) radius[static_cast<std::size_t>(col)] = std::fabs(own[col]);
    for (int slot = 1; slot < kHalfStencilSize; ++slot) {
      const float* forward = slotRun(slot, row, 0);
      const float* backward = forward - mirrorStep_[slot];
      for (int32_t col = 0; col < grid_.cols; ++col)
        radius[static_cast<std::size_t>(col)] += std::fabs(forward[col]) + std::fabs(backward[col]);
    }
    for (int32_t col = 0; col < grid_.cols; ++col)
      if (own[col] > 0.0f)
        bound = std::max(bound, static_cast<double>(radius[static_cast<std::size_t>(col)]) / own[col]);
  }
  return bound;
}

}  // namespace filamorph
