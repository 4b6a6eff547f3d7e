#ifndef FILAMORPH_RECONSTRUCT_HELDSETWINDOWS_H
#define FILAMORPH_RECONSTRUCT_HELDSETWINDOWS_H
// The search for the held set around each cluster of overshooting pixels by
// exact solves of a window around it, instead of solves of the whole image.

#include <cstddef>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// The windows around the free pixels of x that overshoot a bound by more than
// `slack`: each such pixel with a margin around it, overlapping windows
// merged. Empty when a window would cost too much to solve directly, or
// would cover the whole image. The pixels are sought on `threads`.
std::vector<PixelWindow> overshootWindows(const FineOperator& op, const std::vector<double>& x, double slack,
                                          const SolverThreads& threads);

// Runs the held-set rules with exact solves inside each window, the pixels
// around it keeping their levels in x, until the set within the window stands
// still, or a budget of work runs out. Changes x and the held set inside the
// windows only. Windows that do not read one another's pixels are settled
// independently, on either thread.
// The result is close to the constrained minimiser where the levels around
// the windows were close to it; a solve of the whole image must still
// confirm it.
HeldSetChange settleWindows(const std::vector<PixelWindow>& windows, FineOperator& op, std::vector<double>& x,
                            std::vector<std::ptrdiff_t>& heldCells, const SolverThreads& threads);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_HELDSETWINDOWS_H
