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
// bound are coarsened as free ones. Cells away from the image edges share the
// smoothness term's stencil, which is not computed one by one; each adds its
// own share of the data term.
void coarsenImageOperator(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                          StencilLevel& coarse, const SolverThreads& threads);

// The next coarse level from a coarse one; `coarse` must hold all-zero stencils.
void coarsenLevel(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols, StencilLevel& coarse,
                  const SolverThreads& threads);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_GALERKINCOARSENING_H
