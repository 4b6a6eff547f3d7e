#ifndef FILAMORPH_EDGES_MAGNITUDEHISTOGRAM_H
#define FILAMORPH_EDGES_MAGNITUDEHISTOGRAM_H
// The range and the 257-bin histogram of the gradient magnitude that the
// hysteresis thresholds are read from.

#include <array>
#include <cstddef>

namespace filamorph {

struct MagnitudeRange {
  float min = 255.0f;
  float max = 0.0f;
};

// min starts at 255 and max at 0; a value replaces them when it is smaller or
// larger (a NaN never does).
MagnitudeRange magnitudeRange(const float* magnitude, std::size_t count);

// Entry k: the number of values whose bin trunc((v - min) x 256 / (max - min
// + 1)) is k, as a float sum of ones would count them (it stops at 2^24).
std::array<float, 257> magnitudeCounts(const float* magnitude, std::size_t count, const MagnitudeRange& range);

}  // namespace filamorph

#endif  // FILAMORPH_EDGES_MAGNITUDEHISTOGRAM_H
