#ifndef FILAMORPH_RECONSTRUCT_CONVERGEDSOLVER_H
#define FILAMORPH_RECONSTRUCT_CONVERGEDSOLVER_H
// The converged fill-in: the minimiser of the sweeps' energy and data term
// under 0 <= u <= 255, found by multigrid-preconditioned conjugate gradients.

#include <cstdint>

#include "image/Plane.h"

namespace filamorph {

// The residual norm, relative to the data term's, at which the last pass of
// conjugate gradients stops.
inline constexpr double kConvergedTolerance = 2e-8;

struct ConvergedSolveReport {
  int32_t iterations = 0;         // conjugate-gradient steps over all passes
  int32_t passes = 0;             // solves of the free pixels, one per active set tried
  int64_t boundPixels = 0;        // pixels held at 0 or 255 in the result
  double relativeResidual = 0.0;  // of the last pass, against the data term
  int32_t levels = 0;             // multigrid levels, the image included
  // False when the passes stopped at their limit while the held set still
  // changed: the result is then not the constrained minimiser.
  bool settled = true;
  // False when the last pass's conjugate gradients stopped short of their
  // tolerance, at a curvature that was not positive or at the step limit of a
  // pass: the result is then less exact than relativeResidual was asked to be.
  bool reachedTolerance = true;
};

// Returns the work plane of the fill-in of the model: the point at which the
// clamped sweeps of the same equations stand still, within conjugate
// gradients' tolerance. A pixel is a sample pixel where `sparseness` is
// non-zero; `depth` holds its level. The smoothness weight of pixels without
// a sample does not change that point and is not asked for.
//
// A model without samples fills with 128 (its equations leave the level
// free, and the sweeps leave it at its start); a plane under 4 x 4 is not
// solved: samples keep their level and the rest is 128, as in the sweeps. A
// model whose samples all lie at level 0 fills with 0, its minimiser.
//
// `threadCount` is 1 or more, or 0 for one per processor (at most two); the
// result is the same bit for bit with any.
Plane<float> solveConvergedFillIn(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, float plateWeight,
                                  int32_t threadCount, ConvergedSolveReport& report);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_CONVERGEDSOLVER_H
