// Profile normals: a quarter turn counter-clockwise from the direction of
// travel, smoothed along the contour and made horizontal or vertical.

#include <cstdint>

#include "contours/ContourCoder.h"
#include "model/MedianFilter.h"

namespace filamorph {
namespace {

int32_t sign(int32_t value) { return (value > 0) - (value < 0); }

// The direction code of the step plus 2, indexed by (sign of the row step + 1)
// * 3 + (sign of the column step + 1). Going by signs keeps a table whose
// neighbours are not 8-neighbours (a decoded file, a hand-made table) usable;
// a repeated point, which has no direction, gets 0.
constexpr int16_t kRawNormalBySteps[9] = {
    5, 4, 3,  // north-west, north, north-east
    6, 0, 2,  // west, no move, east
    7, 0, 1,  // south-west, south, south-east
};

int16_t rawNormal(const ContourPoint& from, const ContourPoint& to) {
  return kRawNormalBySteps[(sign(to.row - from.row) + 1) * 3 + sign(to.col - from.col) + 1];
}

}  // namespace

void ContourCoder::computeNormals() {
  for (Contour& contour : contours) {
    std::vector<ContourPoint>& points = contour.points;
    const std::size_t count = points.size();
    if (count == 0) continue;
    if (count == 1) {
      // No step to travel along: the east side by convention.
      points[0].normal = 0;
      continue;
    }
    points[0].normal = rawNormal(points[0], points[1]);
    for (std::size_t j = 1; j < count; ++j) points[j].normal = rawNormal(points[j - 1], points[j]);
    medianFilterAlongContour(points, &ContourPoint::normal);
    // Diagonal codes fall to the even code below them: profiles run along
    // rows or columns only.
    for (ContourPoint& point : points) point.normal = static_cast<int16_t>(point.normal & ~1);
  }
}

}  // namespace filamorph
