#ifndef FILAMORPH_IMAGE_COMPASS_H
#define FILAMORPH_IMAGE_COMPASS_H
// The eight compass directions of the pixel grid and their codes, for tracing, the normals, thinning and the file's chains.

#include <array>
#include <cstdint>

namespace filamorph {

using DirectionTable = std::array<std::array<int32_t, 2>, 8>;

// Direction codes 0..7 as (row offset, column offset): east, then
// counter-clockwise; rows grow downwards and d + 4 is the opposite of d.
inline constexpr DirectionTable kNeighbourOffsets = {
    {{0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}}};

// The code whose offsets in `offsets` equal the move (rowStep, colStep), or
// -1 for no move or a longer one.
constexpr int32_t stepCode(const DirectionTable& offsets, int64_t rowStep, int64_t colStep) {
  for (int32_t code = 0; code < 8; ++code) {
    if (offsets[static_cast<std::size_t>(code)][0] == rowStep && offsets[static_cast<std::size_t>(code)][1] == colStep) {
      return code;
    }
  }
  return -1;
}

// The code of a move in the standard table.
constexpr int32_t stepCode(int64_t rowStep, int64_t colStep) {
  return stepCode(kNeighbourOffsets, rowStep, colStep);
}

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_COMPASS_H
