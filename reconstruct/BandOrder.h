#ifndef FILAMORPH_RECONSTRUCT_BANDORDER_H
#define FILAMORPH_RECONSTRUCT_BANDORDER_H
// The numbering of a window of the grid for a band factorisation.

#include <cstddef>
#include <cstdint>

#include "reconstruct/HeldSet.h"
#include "reconstruct/PaddedGrid.h"

namespace filamorph {

// Numbers the window's pixels line by line along its shorter side, so that
// a 5 x 5 stencil stays within a band of two lines and two pixels.
struct BandOrder {
  explicit BandOrder(const PixelWindow& w)
      : window(w),
        byRows(w.endCol - w.firstCol <= w.endRow - w.firstRow),
        line(byRows ? w.endCol - w.firstCol : w.endRow - w.firstRow) {}

  std::size_t index(int32_t row, int32_t col) const {
    const auto r = static_cast<std::size_t>(row - window.firstRow);
    const auto c = static_cast<std::size_t>(col - window.firstCol);
    const auto length = static_cast<std::size_t>(line);
    return byRows ? r * length + c : c * length + r;
  }
  std::size_t bandWidth() const { return 2 * static_cast<std::size_t>(line) + 2; }
  // The cell of the pixel at `index` in the order.
  std::ptrdiff_t cell(const PaddedGrid& grid, std::size_t index) const {
    const auto length = static_cast<std::size_t>(line);
    const auto along = static_cast<int32_t>(index % length);
    const auto across = static_cast<int32_t>(index / length);
    return byRows ? grid.at(window.firstRow + across, window.firstCol + along)
                  : grid.at(window.firstRow + along, window.firstCol + across);
  }

  PixelWindow window;
  bool byRows;
  int32_t line;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_BANDORDER_H
