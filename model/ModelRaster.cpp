// Lays the selected contours' profile models into the two model planes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>

#include "contours/ContourCoder.h"
#include "model/ProfileModel.h"

namespace filamorph {

namespace {

constexpr uint8_t kModelPixel = 255;

}  // namespace

void ContourCoder::renderModel(Plane<uint8_t>& sparsenessPlane, Plane<uint8_t>& depthPlane) const {
  // Extents may come from a file and reach past the image: the planes' own
  // size bounds every write.
  const int64_t planeRows = std::min(sparsenessPlane.rows(), depthPlane.rows());
  const int64_t planeCols = std::min(sparsenessPlane.cols(), depthPlane.cols());
  for (const Contour& contour : contours) {
    if (contour.selected != 1) continue;
    for (const ContourPoint& point : contour.points) {
      const ProfileWeights weights{point.weightLeft, point.weightMiddle, point.weightRight, point.baseLevel};
      const std::array<int32_t, 2>& towardNormal = neighbourOffsets[point.normal & 7];
      const std::array<int32_t, 2>& awayFromNormal = neighbourOffsets[(point.normal + 4) & 7];
      const int32_t leftExtent = point.leftExtent;
      const int32_t rightExtent = point.rightExtent;
      for (int32_t offset = -leftExtent; offset <= rightExtent; ++offset) {
        const std::array<int32_t, 2>& step = offset < 0 ? towardNormal : awayFromNormal;
        const int64_t distance = std::abs(offset);
        const int64_t row = point.row + distance * step[0];
        const int64_t col = point.col + distance * step[1];
        if (row < 0 || row >= planeRows || col < 0 || col >= planeCols) continue;
        // The first profile to reach a pixel owns it; this one ends here.
        if (sparsenessPlane[static_cast<int32_t>(row)][col] == kModelPixel) break;
        const float value =
            clampGrayLevel(profileModelValue(weights, offset + leftExtent, offset, offset - rightExtent));
        depthPlane[static_cast<int32_t>(row)][col] = static_cast<uint8_t>(value);
        sparsenessPlane[static_cast<int32_t>(row)][col] = kModelPixel;
      }
    }
  }
}

}  // namespace filamorph
