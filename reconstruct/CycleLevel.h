#ifndef FILAMORPH_RECONSTRUCT_CYCLELEVEL_H
#define FILAMORPH_RECONSTRUCT_CYCLELEVEL_H
// One grid of the multigrid cycle: its operator in single precision, as the
// smoother and the grid transfers use it.

#include <cstdint>
#include <vector>

#include "reconstruct/PaddedGrid.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// A symmetric operator A on a padded grid. Vectors are padded grids of
// floats whose margins hold 0. Cells that take no part (the margin, and
// pixels held at a bound) have an inverse diagonal of 0; the residual is 0
// there, and every vector the cycle hands to the level holds 0 there too.
class CycleLevel {
 public:
  explicit CycleLevel(const PaddedGrid& grid) : grid_(grid), inverseDiagonal_(grid.cellCount(), 0.0f) {}
  virtual ~CycleLevel() = default;
  CycleLevel(const CycleLevel&) = delete;
  CycleLevel& operator=(const CycleLevel&) = delete;

  const PaddedGrid& grid() const { return grid_; }
  const float* inverseDiagonal() const { return inverseDiagonal_.data(); }

  // b - A x on one row of the grid into out[0 .. cols). `bRow` and `xRow`
  // point at the row's first cell in rows laid out as the padded grid's, and
  // x must be readable two rows above and below: the whole vector, or rows
  // of it kept elsewhere.
  virtual void residualRow(const float* bRow, const float* xRow, float* out, int32_t row) const = 0;
  // An upper bound of the eigenvalues of D^-1 A, by Gershgorin's discs.
  virtual double discBound(const SolverThreads& threads) const = 0;

 protected:
  PaddedGrid grid_;
  std::vector<float> inverseDiagonal_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_CYCLELEVEL_H
