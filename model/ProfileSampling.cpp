// Span limits and the gray-level profile across each contour point.

#include <algorithm>
#include <array>
#include <cstdint>

#include "contours/ContourCoder.h"
#include "model/MedianFilter.h"
#include "model/ProfileWork.h"

namespace filamorph {
namespace {

using Step = std::array<int32_t, 2>;

// The span limit on one side. The search stops after one recorded level, so
// only the neighbouring pixel decides: outside the image leaves no room (0),
// a traced contour pixel is shared with that contour and leaves half of the
// two-pixel reach (1), anything else allows the full two samples (2).
int16_t spanLimit(const ContourCoder& coder, const ContourPoint& point, const Step& step) {
  const int32_t row = point.row + step[0];
  const int32_t col = point.col + step[1];
  if (!coder.isInside(row, col)) return 0;
  if (coder.labelPlane[row][col] > 0) return 1;
  return 2;
}

// Walks outward from the point and records at most limit gray levels, nearest
// first, into samples. A pixel outside the image or on a traced contour ends
// the side before it; a level equal to the one before it ends the side after
// it. Returns the number recorded.
int32_t takeSideSamples(const ContourCoder& coder, const ContourPoint& point, const Step& step, int32_t limit,
                        float* samples) {
  int32_t taken = 0;
  int32_t row = point.row;
  int32_t col = point.col;
  int32_t previousLevel = -1;
  while (taken < limit) {
    row += step[0];
    col += step[1];
    if (!coder.isInside(row, col) || coder.labelPlane[row][col] > 0) break;
    const int32_t level = coder.grayPlane[row][col];
    samples[taken++] = static_cast<float>(level);
    if (level == previousLevel) break;
    previousLevel = level;
  }
  return taken;
}

}  // namespace

void ContourCoder::measureSpans() {
  for (Contour& contour : contours) {
    for (ContourPoint& point : contour.points) {
      point.leftLength = spanLimit(*this, point, neighbourOffsets[point.normal & 7]);
      point.rightLength = spanLimit(*this, point, neighbourOffsets[(point.normal + 4) & 7]);
    }
    medianFilterAlongContour(contour.points, &ContourPoint::leftLength);
    medianFilterAlongContour(contour.points, &ContourPoint::rightLength);
  }
}

void sampleProfileOf(const ContourCoder& coder, ContourPoint& point, std::vector<float>& profile) {
  const int32_t leftLimit = std::max<int32_t>(point.leftLength, 0);
  const int32_t rightLimit = std::max<int32_t>(point.rightLength, 0);
  // Room for the fit's stand-in samples too, so that fitProfile never grows
  // the profile; once large enough this never allocates again.
  const std::size_t needed = static_cast<std::size_t>(std::max(leftLimit, 1) + std::max(rightLimit, 1) + 1);
  if (profile.size() < needed) profile.resize(needed);

  const int32_t leftTaken =
      takeSideSamples(coder, point, coder.neighbourOffsets[point.normal & 7], leftLimit, profile.data());
  // Taken nearest first; the profile starts with the farthest.
  std::reverse(profile.begin(), profile.begin() + leftTaken);
  profile[leftTaken] =
      coder.isInside(point.row, point.col) ? static_cast<float>(coder.grayPlane[point.row][point.col]) : 0.0f;
  const int32_t rightTaken = takeSideSamples(coder, point, coder.neighbourOffsets[(point.normal + 4) & 7], rightLimit,
                                             profile.data() + leftTaken + 1);
  point.leftLength = static_cast<int16_t>(leftTaken);
  point.rightLength = static_cast<int16_t>(rightTaken);
}

void ContourCoder::sampleProfile(int32_t contourIndex, int32_t pointIndex) {
  sampleProfileOf(*this, contours[contourIndex].points[pointIndex], profile);
}

}  // namespace filamorph
