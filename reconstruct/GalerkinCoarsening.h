#ifndef FILAMORPH_RECONSTRUCT_GALERKINCOARSENING_H
#define FILAMORPH_RECONSTRUCT_GALERKINCOARSENING_H
// The coarse operators of the multigrid solver: R A P with P the bilinear
// prolongation and R its transpose.

#include <cstddef>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph {

// The first coarse level, from the image's whole system: pixels held at a
// bound are coarsened as free ones (recoarsenImageCells leaves them out).
// Cells away from the image edges share the smoothness term's stencil, which
// is not computed one by one; each adds its own share of the data term.
void coarsenImageOperator(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                          StencilLevel& coarse, const SolverThreads& threads);

// The next coarse level from a coarse one; `coarse` must hold all-zero stencils.
void coarsenLevel(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols, StencilLevel& coarse,
                  const SolverThreads& threads);

// The coarse cells whose stencils read a fine cell of `changed` (sorted, each
// once): the cells to coarsen again when those fine cells' stencils change.
std::vector<GridCell> coarseCellsReading(const AxisTransfer& rows, const AxisTransfer& cols,
                                         const std::vector<GridCell>& changed);

// Coarsens the image's system again at `cells` of the first coarse level,
// with the interpolation cut off at the pixels held at a bound: the level of
// the free pixels' own system, R A P with P zero on the held rows. A cell all
// of whose children are held gets an all-zero stencil and takes no part.
void recoarsenImageCells(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                         const std::vector<GridCell>& cells, StencilLevel& coarse);

// Coarsens a coarse level again at `cells` of the next one.
void recoarsenCells(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                    const std::vector<GridCell>& cells, StencilLevel& coarse);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_GALERKINCOARSENING_H
