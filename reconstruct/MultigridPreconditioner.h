#ifndef FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
#define FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
// One multigrid cycle as the preconditioner of the converged fill-in solve.

#include <cstddef>
#include <memory>
#include <vector>

#include "reconstruct/BandCholesky.h"
#include "reconstruct/ChebyshevSmoother.h"
#include "reconstruct/FineCycleLevel.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/SolverThreads.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph {

// A V-cycle from a zero start in single precision: Chebyshev smoothing before
// and after each coarse correction, Galerkin coarse levels, and a dense direct
// solve once a level has few enough unknowns; in a deep hierarchy the small
// levels are visited twice, as in a W-cycle. The cycle is a fixed symmetric
// positive definite map of the residual (up to rounding), as conjugate
// gradients needs. Fixed pixels take no part: the cycle returns 0 there.
//
// An axis is halved while it has at least 6 cells; a thin strip is coarsened
// along its length only. Holds references to the fine operator and the threads.
class MultigridPreconditioner {
 public:
  MultigridPreconditioner(const FineOperator& fine, const SolverThreads& threads);

  // The fine operator's fixed pixels have changed. The image level follows
  // them, and the coarse levels are coarsened again where the change reaches
  // them, with the interpolation cut off at the fixed pixels: the cycle is then
  // that of the free pixels' own system, whose coarse corrections no longer
  // try to move the fixed pixels. Only the cells near a change are redone,
  // and only as many per solve as a conjugate-gradient step's worth of work;
  // past that the coarse levels stay as they are, which the cycle allows. The
  // smoothers keep their eigenvalue bounds, which such local changes leave all
  // but unchanged.
  void followFixedPixels();

  // The residual that the next `apply` takes, in single precision: a padded
  // vector of the fine grid for the caller to fill.
  float* input() { return levels_.front().b.data(); }
  // M^-1 input, a padded vector of the fine grid, valid until the next call.
  const float* apply();
  // A padded vector of the fine grid that the caller may use between two
  // calls of `apply`, which writes over it; its margins must stay zero.
  float* scratch() { return levels_.front().d.data(); }

  std::size_t levelCount() const { return levels_.size(); }

 private:
  struct Level {
    Level(std::unique_ptr<CycleLevel> level, bool image, const SolverThreads& threads);
    std::unique_ptr<CycleLevel> op;
    // The right-hand side, the solution, and a second buffer that the
    // smoothing writes into in turn with x.
    std::vector<float> b, x, d;
    // The correction of a level's first visit while the second one runs,
    // on the levels visited twice.
    std::vector<float> firstVisit;
    ChebyshevSmoother smoother;
  };

  void cycle(std::size_t level);
  // The correction of a coarse level: one cycle, or two on the levels deep
  // enough to be visited twice, the second cycle taking the first's residual.
  void correct(std::size_t level);
  bool visitedTwice(std::size_t level) const;
  // Returns whether any fixed pixel changed since the coarse levels were made.
  bool recoarsenAroundChanges();
  void factorCoarsest();
  void solveCoarsest(Level& level);

  const FineOperator& fine_;
  const SolverThreads& threads_;
  FineCycleLevel* image_;  // levels_[0]
  std::vector<Level> levels_;
  // Transfers between level i and level i + 1.
  std::vector<AxisTransfer> rowTransfers_;
  std::vector<AxisTransfer> colTransfers_;
  // The fixed pixels that the coarse levels leave out, row by row, and how
  // many cells of the first coarse level may still be coarsened again.
  std::vector<GridCell> coarsenedFixed_;
  std::size_t redoneCellBudget_ = 0;
  BandCholesky coarsest_;
  std::vector<double> coarsestValues_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_MULTIGRIDPRECONDITIONER_H
