#ifndef FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
#define FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
// Repeats fill-in sweeps until the mean change falls below the tolerance, on one thread or as two overlapping sweeps.

#include <cstdint>
#include <functional>

#include "image/Plane.h"
#include "reconstruct/FillInSweep.h"

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
// if positive (two at most, as only two sweeps can overlap), otherwise two
// when the hardware has them and the plane is large enough for the second
// sweep to trail the first by whole bands of rows, one otherwise.
int32_t sweepThreadsFor(int32_t requested, int32_t rows, int32_t cols);

// Sweeps `work` (rows, cols >= 4) from its start values until a sweep's mean
// change is below `tolerance`, always at least once, and leaves the last
// sweep's values in it. The observer, when set, hears of every sweep in order
// on the calling thread. With two threads a sweep runs on the other thread
// while the one before it is still going, three or more rows behind it and
// into a second plane; it is dropped when the sweep before turns out to be
// the last, so every result is that of the sweeps run one after the other.
// `vectors` must be one the processor can run (canSweepWith).
SweepOutcome sweepToTolerance(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                              const SweepCoefficients& coefficients, float tolerance, int32_t threads,
                              SweepVectors vectors, VisitRecord lastVisit, const SweepObserver& observer);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_SWEEPSCHEDULE_H
