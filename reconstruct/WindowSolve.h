#ifndef FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
#define FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
// The exact solve of the fill-in system on a window of the image, the levels
// around it held: the local step of the search for the held set.

#include <cstdint>
#include <vector>

#include "reconstruct/BandCholesky.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"

namespace filamorph {

// The work of factoring a window, twice its multiply-adds: the pixels times
// the square of the band's width (two lines and two pixels of the shorter
// side).
int64_t windowSolveWork(const PixelWindow& window);

// Keeps its factorisation from one solve to the next: a solve of the same
// window after some of its pixels were held or freed factors again only from
// the first of them on. The operator's stencils must stay the same between
// solves of one solver; only its fixed pixels may change.
class WindowSolver {
 public:
  // Sets the free pixels of `window` in x to the solution of their own
  // equations, every other pixel keeping its level in x. The window lies
  // inside the image and leaves at least one pixel of it out, which makes the
  // system of its pixels definite.
  void solve(const FineOperator& op, const PixelWindow& window, std::vector<double>& x);

 private:
  BandCholesky system_;
  std::vector<double> values_;
  // The window the factor is of, and which of its pixels were unknowns then.
  PixelWindow factored_;
  std::vector<uint8_t> factoredUnknowns_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
