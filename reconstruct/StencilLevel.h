#ifndef FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
#define FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
// A coarse level of the multigrid solver: a symmetric operator held as one
// half of a 5 x 5 stencil per cell, in floats.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/PaddedGrid.h"

namespace filamorph {

// Cells of the margin hold all-zero stencils, so every kernel runs over the
// grid without bounds tests; vectors are padded grids of doubles with zero
// margins.
class StencilLevel {
 public:
  explicit StencilLevel(const PaddedGrid& grid);

  const PaddedGrid& grid() const { return grid_; }
  float* halfStencil(int32_t row, int32_t col) { return &stencils_[cellIndex(grid_.at(row, col))]; }
  const float* halfStencil(int32_t row, int32_t col) const { return &stencils_[cellIndex(grid_.at(row, col))]; }
  // The whole stencil of a cell, A(p, p + (r - 2, c - 2)) at [r][c].
  void fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const;

  void residual(const double* b, const double* x, double* out) const;
  // Gauss-Seidel in raster order and in its reverse.
  void forwardSweep(const double* b, double* x) const;
  void backwardSweep(const double* b, double* x) const;

 private:
  static std::size_t cellIndex(std::ptrdiff_t cell) { return static_cast<std::size_t>(cell) * kHalfStencilSize; }
  double offDiagonalProduct(std::ptrdiff_t cell, const double* x) const;

  PaddedGrid grid_;
  std::vector<float> stencils_;
  std::ptrdiff_t cellStep_[kHalfStencilSize];
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
