#ifndef FILAMORPH_EDGES_SUPPRESSIONBLOCKS_H
#define FILAMORPH_EDGES_SUPPRESSIONBLOCKS_H
// Gradient magnitude and non-maximum suppression sixteen pixels at a time, for
// processors with 512-bit vectors; the same float operations as pixel by pixel.

#include <cstdint>

namespace filamorph {

// Whether the processor runs the blocks below; without them every column is
// left to the pixel-by-pixel code.
bool suppressionBlocksAvailable();

// magnitude[c] = sqrt(gx[c]^2 + gy[c]^2) for the whole blocks of 16 from
// column 0; returns the first column not written.
int32_t magnitudeBlocks(const float* gx, const float* gy, float* magnitude, int32_t cols);

// candidates[c] = 128 or 0 for the whole blocks of 16 inner columns from
// column 1, reading the magnitude rows above, here and below; returns the first
// column not written.
int32_t candidateBlocks(const float* above, const float* here, const float* below, const float* gx, const float* gy,
                        uint8_t* candidates, int32_t cols);

}  // namespace filamorph

#endif  // FILAMORPH_EDGES_SUPPRESSIONBLOCKS_H
