#ifndef FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
#define FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
// One multigrid V-cycle as the preconditioner of the converged fill-in solve.

#include <cstddef>
#include <utility>
#include <vector>

#include "reconstruct/DenseCholesky.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph {

// A V(1,1) cycle from a zero start: a Gauss-Seidel sweep in raster order
// before each coarse correction and one in reverse order after it, Galerkin
// coarse levels, and a dense direct solve once a level has few enough
// unknowns. The cycle is a fixed symmetric positive definite linear map of
// the residual, as conjugate gradients needs. Fixed pixels take no part: the
// cycle sees them as cut loose and returns 0 there.
//
// An axis is halved while it has at least 6 cells; a thin strip is coarsened
// along its length only. Holds a reference to the fine operator, whose fixed
// pixels must not change while the preconditioner is in use.
class MultigridPreconditioner {
 public:
  MultigridPreconditioner(const FineOperator& fine, std::vector<std::ptrdiff_t> fixedCells);

  // Pixels held since the coarse levels were built: `fixedCells` is the whole
  // held set, a superset of the one given at construction. The image level
  // follows the fine operator's states; the coarse levels keep the old set,
  // which leaves the cycle symmetric and positive definite on the free pixels.
  void holdAlso(std::vector<std::ptrdiff_t> fixedCells) { fixedCells_ = std::move(fixedCells); }

  // correction = M^-1 residual, both padded vectors of the fine grid.
  void apply(const double* residual, double* correction);

  std::size_t levelCount() const { return coarseLevels_.size() + 1; }

 private:
  struct CoarseLevel {
    explicit CoarseLevel(const PaddedGrid& grid);
    StencilLevel op;
    std::vector<double> x, b, t;
  };

  void cycle(std::size_t level);
  void factorCoarsest();
  void solveCoarsest(const PaddedGrid& grid, const double* b, double* x);

  const FineOperator& fine_;
  std::vector<std::ptrdiff_t> fixedCells_;
  // Transfers between level i and level i + 1; level 0 is the image.
  std::vector<AxisTransfer> rowTransfers_;
  std::vector<AxisTransfer> colTransfers_;
  std::vector<CoarseLevel> coarseLevels_;  // levels 1, 2, ...
  DenseCholesky coarsest_;
  std::vector<double> fineScratch_;
  std::vector<double> coarsestValues_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
