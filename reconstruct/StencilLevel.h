#ifndef FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
#define FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
// A coarse level of the multigrid solver: a symmetric operator held as one
// half of a 5 x 5 stencil per cell, in floats, one plane per stencil slot.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/CycleLevel.h"

namespace filamorph {

// Slot s of cell p holds A(p, p + o_s) for the offsets of the half stencil;
// the other half comes from the neighbours, A(p, p - o) = A(p - o, p). Cells
// of the margin hold all-zero stencils, so rows run without bounds tests.
// Fill the entries, then call `finish` before the level is used.
class StencilLevel final : public CycleLevel {
 public:
  explicit StencilLevel(const PaddedGrid& grid);

  float& entry(int32_t row, int32_t col, int slot) { return planes_[plane(slot) + grid_.at(row, col)]; }
  float entry(int32_t row, int32_t col, int slot) const { return planes_[plane(slot) + grid_.at(row, col)]; }
  // The plane of one slot, laid out as the padded grid.
  const float* slotPlane(int slot) const { return &planes_[plane(slot)]; }
  // The whole stencil of a cell, A(p, p + (r - 2, c - 2)) at [r][c].
  void fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const;
  // Derives the inverse diagonal from the entries, of every cell or of `cells`.
  void finish();
  void finish(const std::vector<GridCell>& cells);

  void residualRow(const float* b, const float* x, float* out, int32_t row) const override;
  double discBound() const override;

 private:
  void finishCell(int32_t row, int32_t col);
  std::size_t plane(int slot) const { return static_cast<std::size_t>(slot) * grid_.cellCount(); }

  std::vector<float> planes_;
  std::ptrdiff_t cellStep_[kHalfStencilSize];
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
