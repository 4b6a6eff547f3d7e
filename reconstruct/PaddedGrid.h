#ifndef FILAMORPH_RECONSTRUCT_PADDEDGRID_H
#define FILAMORPH_RECONSTRUCT_PADDEDGRID_H
// The layout of the multigrid solver's vectors: a rows x cols grid inside a
// two-cell margin of zeros, so that a 5 x 5 stencil never leaves the array.

#include <compare>
#include <cstddef>
#include <cstdint>

namespace filamorph {

// A cell of a grid by its row and column, ordered row by row.
struct GridCell {
  int32_t row;
  int32_t col;
  auto operator<=>(const GridCell&) const = default;
};

struct PaddedGrid {
  static constexpr int32_t kMargin = 2;

  int32_t rows = 0;
  int32_t cols = 0;

  std::ptrdiff_t stride() const { return cols + 2 * kMargin; }
  std::size_t cellCount() const {
    return static_cast<std::size_t>(rows + 2 * kMargin) * static_cast<std::size_t>(stride());
  }
  std::size_t unknownCount() const { return static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols); }
  std::ptrdiff_t at(int32_t row, int32_t col) const { return (row + kMargin) * stride() + col + kMargin; }
  // The row and column of an inner cell of the padded array: `at` undone.
  GridCell place(std::ptrdiff_t cell) const {
    return {static_cast<int32_t>(cell / stride() - kMargin), static_cast<int32_t>(cell % stride() - kMargin)};
  }
  std::ptrdiff_t offset(int32_t rowStep, int32_t colStep) const { return rowStep * stride() + colStep; }
};

// One half of a symmetric 5 x 5 stencil: the cell itself, the two cells to its
// right, and the two rows below it. The other half of a cell's stencil is held
// by its neighbours: A(p, p - o) = A(p - o, p).
struct HalfOffset {
  int8_t row;
  int8_t col;
};
inline constexpr int kHalfStencilSize = 13;
inline constexpr HalfOffset kHalfOffsets[kHalfStencilSize] = {
    {0, 0}, {0, 1}, {0, 2}, {1, -2}, {1, -1}, {1, 0}, {1, 1}, {1, 2}, {2, -2}, {2, -1}, {2, 0}, {2, 1}, {2, 2},
};

// The half-stencil slot of an offset, or -1 when the offset lies in the other half.
constexpr int halfSlot(int rowStep, int colStep) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    if (kHalfOffsets[slot].row == rowStep && kHalfOffsets[slot].col == colStep) return slot;
  return -1;
}

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_PADDEDGRID_H
