#ifndef FILAMORPH_RECONSTRUCT_FILLINSTART_H
#define FILAMORPH_RECONSTRUCT_FILLINSTART_H
// Where the converged solve starts: the samples spread along rows and columns.

#include <cstdint>
#include <vector>

#include "image/Plane.h"
#include "reconstruct/PaddedGrid.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// The level the sweeps start every pixel without a sample from, and that a
// line without samples gives its pixels here.
inline constexpr double kFlatStartLevel = 128.0;

// Sets x (a padded grid of the planes' size) to a start close to the fill-in:
// a sample pixel its own level, any other pixel the mean of two values, one
// from its row and one from its column: along each line, the linear
// interpolation between the samples on either side, the nearest sample's
// level beyond the line's first and last sample, and kFlatStartLevel on a
// line without samples. A start this close takes a step or two fewer than a
// flat one. Margins are left as they are.
void startFromLines(const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth, const PaddedGrid& grid,
                    std::vector<double>& x, const SolverThreads& threads);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FILLINSTART_H
