#ifndef FILAMORPH_TESTS_CONTOURS_EDGEART_H
#define FILAMORPH_TESTS_CONTOURS_EDGEART_H
// Edge maps drawn as text ('#' an edge pixel) loaded into a ContourCoder.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "contours/ContourCoder.h"

namespace filamorph::testing {

using Pixel = std::pair<int32_t, int32_t>;  // (row, column)

// Gives the coder the art's size and an edge map of 250 at every '#', as
// edge detection leaves it.
inline void loadEdgeArt(ContourCoder& coder, const std::vector<std::string>& art) {
  const auto rows = static_cast<int32_t>(art.size());
  const auto cols = rows > 0 ? static_cast<int32_t>(art[0].size()) : 0;
  coder.rows = coder.height = rows;
  coder.cols = coder.width = cols;
  coder.edgeMap.allocate(rows, cols, true);
  coder.edgePlanesAllocated = 1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) coder.edgeMap[r][c] = art[r][c] == '#' ? 250 : 0;
  }
}

inline std::vector<Pixel> pointsOf(const Contour& contour) {
  std::vector<Pixel> pixels;
  for (const ContourPoint& point : contour.points) pixels.emplace_back(point.row, point.col);
  return pixels;
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_CONTOURS_EDGEART_H
