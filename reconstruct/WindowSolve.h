#ifndef FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
#define FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
// The exact solve of the fill-in system on a window of the image, the levels
// around it held: the local step of the search for the held set.

#include <cstdint>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"

namespace filamorph {

// Multiply-adds of the factorisation of a window: the pixels times the square
// of the band's width (two rows and two cells of the shorter side).
int64_t windowSolveWork(const PixelWindow& window);

// Sets the free pixels of `window` in x to the solution of their own
// equations, every other pixel keeping its level in x. The window lies inside
// the image and leaves at least one pixel of it out, which makes the system
// of its pixels definite.
void solveWindow(const FineOperator& op, const PixelWindow& window, std::vector<double>& x);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
