#ifndef FILAMORPH_RECONSTRUCT_SOLVERTHREADS_H
#define FILAMORPH_RECONSTRUCT_SOLVERTHREADS_H
// The threads of the converged solver: the shared work of base/, also over
// the whole padded array of a grid.

#include <cstddef>
#include <cstdint>

#include "base/WorkThreads.h"
#include "reconstruct/PaddedGrid.h"

namespace filamorph {

class SolverThreads : public WorkThreads {
 public:
  using WorkThreads::WorkThreads;

  // body(firstCell, endCell) on ranges of whole padded rows, margins included.
  template <typename Body>
  void forCells(const PaddedGrid& grid, Body&& body) const {
    const std::ptrdiff_t stride = grid.stride();
    forRows(grid.rows + 2 * PaddedGrid::kMargin, grid.cols, [&](int32_t first, int32_t end) {
      body(static_cast<std::size_t>(first * stride), static_cast<std::size_t>(end * stride));
    });
  }
  template <typename Body>
  double sumCells(const PaddedGrid& grid, Body&& body) const {
    const std::ptrdiff_t stride = grid.stride();
    return sumRows(grid.rows + 2 * PaddedGrid::kMargin, grid.cols, [&](int32_t first, int32_t end) {
      return body(static_cast<std::size_t>(first * stride), static_cast<std::size_t>(end * stride));
    });
  }
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_SOLVERTHREADS_H
