#ifndef FILAMORPH_RECONSTRUCT_CHEBYSHEVSMOOTHER_H
#define FILAMORPH_RECONSTRUCT_CHEBYSHEVSMOOTHER_H
// The smoother of the multigrid cycle: Jacobi steps weighted by a Chebyshev
// polynomial, which every cell of a row can take at once.

#include <vector>

#include "reconstruct/CycleLevel.h"
#include "reconstruct/ResidualSink.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// Damps the error components whose eigenvalues of D^-1 A lie between
// upper / kDampedRange and upper, where upper bounds the largest eigenvalue.
// The error leaves a smoothing as p(D^-1 A) e with one fixed polynomial p,
// which is self-adjoint in the energy inner product: the same smoothing
// before and after the coarse correction keeps the cycle symmetric.
class ChebyshevSmoother {
 public:
  static constexpr int kDegree = 2;
  // A wide range suits the fourth-order smoothness term, whose coarse levels
  // take over only the smoothest components: against 12, it saved a step on
  // most test images and photographs, and none took more.
  static constexpr double kDampedRange = 40.0;

  // Bounds the largest eigenvalue of the level by its Gershgorin discs where
  // they are known to be close (the image's own molecules, whose bound the
  // alternating pattern reaches), else estimates it by Lanczos steps.
  ChebyshevSmoother(const CycleLevel& level, bool discBoundIsClose, const SolverThreads& threads);

  // Smooths x for A x = b. The result is written into `spare`, and the two
  // are swapped so that x ends with it; both have the level's size and zero
  // margins. With `zeroStart`, x is taken as 0 and its values on entry are
  // not read. With a sink, the rows of the result's residual b - A x go to
  // it as they are made.
  void smooth(const CycleLevel& level, const float* b, std::vector<float>& x, std::vector<float>& spare, bool zeroStart,
              const SolverThreads& threads, const ResidualSink* sink = nullptr) const;

  double upperEigenvalue() const { return upper_; }

 private:
  double upper_ = 0.0;
};

// The largest eigenvalue of D^-1 A, estimated from below by Lanczos steps.
double estimateLargestEigenvalue(const CycleLevel& level, const SolverThreads& threads);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_CHEBYSHEVSMOOTHER_H
