#ifndef FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
#define FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
// Repeats fill-in sweeps until the mean change falls below the tolerance, on one thread or cut in two parts on two.

#include <cstdint>
#include <functional>

#include "image/Plane.h"
#include "reconstruct/FillInSweep.h"
#include "reconstruct/PartBalance.h"

namespace filamorph {

// Reports a finished sweep (1-based) and its mean change; returning false
// cancels the solve.
using SweepObserver = std::function<bool(int sweep, float meanChange)>;

struct SweepOutcome {
  bool finished = false;  // false when the observer cancelled
  int32_t sweeps = 0;
  float meanChange = 0.0f;  // of the last sweep
  VisitRecord lastVisit;    // of the last sweep
};

// The number of threads that sweeps to the tolerance will use: `requested`
// if positive (two at most, one for each part of the plane), otherwise two
// when the hardware has them and the plane is large enough for each part to
// be worth a thread, one otherwise.
int32_t sweepThreadsFor(int32_t requested, int32_t rows, int32_t cols);

// Sweeps `work` (rows, cols >= 4) from its start values until a sweep's mean
// change is below `tolerance`, always at least once, and leaves the last
// sweep's values in it. The observer, when set, hears of every sweep in order
// on the calling thread. With two threads the plane is cut across in two
// parts: the calling thread visits the upper part of a sweep while the other
// thread visits the lower part of the sweep before, each sweep into the other
// of two planes; the upper part of a sweep after the last is dropped, so every
// result is that of the sweeps run one after the other. `cuts` chooses where
// each sweep is cut (BalancedPartCuts when null).
// `vectors` must be one the processor can run (canSweepWith).
SweepOutcome sweepToTolerance(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                              const SweepCoefficients& coefficients, float tolerance, int32_t threads,
                              SweepVectors vectors, VisitRecord lastVisit, const SweepObserver& observer,
                              PartCuts* cuts = nullptr);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
