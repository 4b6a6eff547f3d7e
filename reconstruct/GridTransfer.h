#ifndef FILAMORPH_RECONSTRUCT_GRIDTRANSFER_H
#define FILAMORPH_RECONSTRUCT_GRIDTRANSFER_H
// Bilinear prolongation from a coarse grid to a fine one and its transpose,
// the restriction, built axis by axis.

#include <array>
#include <cstdint>
#include <vector>

#include "reconstruct/CycleLevel.h"
#include "reconstruct/PaddedGrid.h"
#include "reconstruct/ResidualSink.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// The linear interpolation along one axis. A coarsened axis keeps every
// second fine index (0, 2, 4, ...); an odd fine index takes half of each of
// its two coarse neighbours, and a last odd index, which has one, takes all of
// it, so that constants are carried over exactly. An axis that is not
// coarsened maps every index to itself.
struct AxisTransfer {
  struct Link {
    int32_t index;
    double weight;
  };

  bool coarsened = false;
  int32_t fineCount = 0;
  int32_t coarseCount = 0;
  // Two parents per fine index; a fine index with one parent has a second
  // link to the same index with weight 0.
  std::vector<std::array<Link, 2>> parents;
  // Up to three children per coarse index.
  std::vector<std::array<Link, 3>> children;
  std::vector<uint8_t> childCount;
  // Coarse indices whose Galerkin stencil along this axis is that of the
  // middle of a long axis: interiorFirst <= index <= interiorLast.
  int32_t interiorFirst = 0;
  int32_t interiorLast = -1;

  static AxisTransfer make(int32_t fineCount, bool coarsen);
};

// e on the coarse grid is interpolated and added to x on the level's grid.
// With `zeroWhereNoPart`, the cells that take no part in the level (inverse
// diagonal 0) are set to 0 instead.
void prolongateAdd(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& coarse, const float* e,
                   const CycleLevel& level, bool zeroWhereNoPart, float* x, const SolverThreads& threads);

// A fine level's residual restricted to a coarse grid's b by the transpose of
// the interpolation, row by row as the residual's rows come: the residual is
// never stored whole. A block of fine rows [first, end) makes the coarse rows
// whose middle child (or only child) lies in it.
class ResidualRestriction final : public ResidualSink {
 public:
  ResidualRestriction(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& coarse, float* coarseB)
      : rows_(rows), cols_(cols), coarse_(coarse), coarseB_(coarseB) {}

  int32_t reach() const override { return rows_.coarsened ? 1 : 0; }
  void beginBlock(int32_t first, int32_t end) const override;
  void takeRow(int32_t row, const float* residual) const override;

 private:
  const AxisTransfer& rows_;
  const AxisTransfer& cols_;
  PaddedGrid coarse_;
  float* coarseB_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_GRIDTRANSFER_H
