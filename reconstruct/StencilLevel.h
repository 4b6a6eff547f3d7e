#ifndef FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
#define FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
// A coarse level of the multigrid solver: a symmetric operator held as one
// half of a 5 x 5 stencil per cell, in floats, one run per row and slot.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/CycleLevel.h"

namespace filamorph {

// Slot s of cell p holds A(p, p + o_s) for the offsets of the half stencil;
// the other half comes from the neighbours, A(p, p - o) = A(p - o, p). Cells
// of the margin hold all-zero stencils, so rows run without bounds tests.
// The slots of one row lie together, row after row: a row's residual then
// reads its entries as one stream, and its neighbours' halves from the two
// rows before it, still in cache. Away from the edges and the held pixels,
// the slots that reach two cells far hold the smoothness term alone and
// repeat from row to row; a row's residual reads such slots from one
// reference row, which stays in cache, with the same values in the same
// order.
// Fill the entries, then call `finish` before the level is used, and again
// after changing any.
class StencilLevel final : public CycleLevel {
 public:
  explicit StencilLevel(const PaddedGrid& grid);

  float& entry(int32_t row, int32_t col, int slot) { return entries_[index(row, col, slot)]; }
  float entry(int32_t row, int32_t col, int slot) const { return entries_[index(row, col, slot)]; }
  // The entries of one slot from (row, col) on along the row; the margin's
  // rows and columns can be addressed too.
  const float* slotRun(int slot, int32_t row, int32_t col) const { return &entries_[index(row, col, slot)]; }
  // The whole stencil of a cell, A(p, p + (r - 2, c - 2)) at [r][c].
  void fullStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const;
  // Derives the inverse diagonal and the repeated slots from the entries, of
  // every cell (its rows shared among `threads` when given) or of `cells` and
  // what they reach.
  void finish(const SolverThreads* threads = nullptr);
  void finish(const std::vector<GridCell>& cells);

  void residualRow(const float* bRow, const float* xRow, float* out, int32_t row) const override;
  double discBound(const SolverThreads& threads) const override;

 private:
  void finishCell(int32_t row, int32_t col);
  void findRepeatedSlots(int32_t row);
  std::size_t index(int32_t row, int32_t col, int slot) const {
    return static_cast<std::size_t>(((row + PaddedGrid::kMargin) * kHalfStencilSize + slot) * grid_.stride() + col +
                                    PaddedGrid::kMargin);
  }

  std::vector<float> entries_;
  std::ptrdiff_t cellStep_[kHalfStencilSize];
  // Per padded row, a bit per slot whose entries equal the reference row's.
  std::vector<uint16_t> repeatedSlots_;
  int32_t referenceRow_ = 0;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_STENCILLEVEL_H
