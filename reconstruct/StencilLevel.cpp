#include "reconstruct/StencilLevel.h"

namespace filamorph {

StencilLevel::StencilLevel(const PaddedGrid& grid) : grid_(grid), stencils_(grid.cellCount() * kHalfStencilSize, 0.0f) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    cellStep_[slot] = grid_.offset(kHalfOffsets[slot].row, kHalfOffsets[slot].col);
}

void StencilLevel::fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const {
  const std::ptrdiff_t cell = grid_.at(row, col);
  for (int slot = 0; slot < kHalfStencilSize; ++slot) {
    const int r = kHalfOffsets[slot].row;
    const int c = kHalfOffsets[slot].col;
    stencil[2 + r][2 + c] = stencils_[cellIndex(cell) + slot];
    if (slot != 0) stencil[2 - r][2 - c] = stencils_[cellIndex(cell - cellStep_[slot]) + slot];
  }
}

// Four partial sums: one running sum would chain all 24 additions.
inline double StencilLevel::offDiagonalProduct(std::ptrdiff_t cell, const double* x) const {
  const float* own = &stencils_[cellIndex(cell)];
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  for (int slot = 1; slot < kHalfStencilSize; ++slot) {
    const std::ptrdiff_t step = cellStep_[slot];
    sums[slot & 1] += static_cast<double>(own[slot]) * x[cell + step];
    sums[2 + (slot & 1)] += static_cast<double>(stencils_[cellIndex(cell - step) + slot]) * x[cell - step];
  }
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

void StencilLevel::residual(const double* b, const double* x, double* out) const {
  for (int32_t row = 0; row < grid_.rows; ++row) {
    for (std::ptrdiff_t cell = grid_.at(row, 0), end = cell + grid_.cols; cell < end; ++cell) {
      const double own = stencils_[cellIndex(cell)];
      out[cell] = b[cell] - (own * x[cell] + offDiagonalProduct(cell, x));
    }
  }
}

void StencilLevel::forwardSweep(const double* b, double* x) const {
  for (int32_t row = 0; row < grid_.rows; ++row)
    for (std::ptrdiff_t cell = grid_.at(row, 0), end = cell + grid_.cols; cell < end; ++cell)
      x[cell] = (b[cell] - offDiagonalProduct(cell, x)) / static_cast<double>(stencils_[cellIndex(cell)]);
}

void StencilLevel::backwardSweep(const double* b, double* x) const {
  for (int32_t row = grid_.rows - 1; row >= 0; --row)
    for (std::ptrdiff_t cell = grid_.at(row, grid_.cols - 1), end = cell - grid_.cols; cell > end; --cell)
      x[cell] = (b[cell] - offDiagonalProduct(cell, x)) / static_cast<double>(stencils_[cellIndex(cell)]);
}

}  // namespace filamorph
