// The perceptual selection: descriptors, priorities, ranks and the selected flags.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "contours/ContourCoder.h"

namespace filamorph {

namespace {

// Length, mean contrast and mean curvature of one contour, in 32-bit floats
// summed point by point. The curvature sum holds n - 1 differences but is
// divided by n like the contrast sum.
void describeContour(Contour& contour) {
  const int32_t n = contour.pointCount;
  contour.length = n;
  if (n <= 0) {
    contour.meanContrast = 0;
    contour.meanCurvature = 0.0f;
    return;
  }
  float contrastSum = 0.0f;
  float curvatureSum = 0.0f;
  for (int32_t j = 0; j < n; ++j) {
    const ContourPoint& point = contour.points[j];
    contrastSum += static_cast<float>(std::abs(point.leftContrast) + std::abs(point.rightContrast)) * 0.5f;
    if (j > 0) curvatureSum += static_cast<float>(std::abs(point.normal - contour.points[j - 1].normal));
  }
  const auto length = static_cast<float>(n);
  contour.meanContrast = static_cast<int32_t>(contrastSum / length + 0.5f);
  contour.meanCurvature = curvatureSum / length;
}

// weight / normaliser, or 0 when the normaliser is 0 or less (every contour
// then has a zero descriptor and the term must not decide the ranking).
float normalisedWeight(float weight, float normaliser) {
  return normaliser > 0.0f ? weight / normaliser : 0.0f;
}

}  // namespace

void ContourCoder::selectContours(float lengthWeight, float curvatureWeight, float contrastWeight,
                                  int32_t numberToSelect) {
  if (contoursReady == 0) return;

  maxMeanContrast = 0;
  maxMeanCurvature = 0.0f;
  for (Contour& contour : contours) {
    describeContour(contour);
    maxMeanContrast = std::max(maxMeanContrast, contour.meanContrast);
    maxMeanCurvature = std::max(maxMeanCurvature, contour.meanCurvature);
  }

  const float lengthNorm = normalisedWeight(lengthWeight, static_cast<float>(maxContourLength));
  const float curvatureNorm = normalisedWeight(curvatureWeight, maxMeanCurvature);
  const float contrastNorm = normalisedWeight(contrastWeight, static_cast<float>(maxMeanContrast));

  // Rank = 1 + the number of contours of strictly greater priority, read off
  // the sorted priorities. A NaN priority is greater than nothing and nothing
  // is greater than it, so it stays out of the sorted list and ranks first.
  std::vector<float> ordered;
  ordered.reserve(contours.size());
  for (Contour& contour : contours) {
    contour.priority = (static_cast<float>(contour.length) * lengthNorm +
                        static_cast<float>(contour.meanContrast) * contrastNorm) +
                       curvatureNorm * contour.meanCurvature;
    if (!std::isnan(contour.priority)) ordered.push_back(contour.priority);
  }
  std::sort(ordered.begin(), ordered.end());

  for (Contour& contour : contours) {
    std::ptrdiff_t greater = 0;
    if (!std::isnan(contour.priority)) {
      greater = ordered.end() - std::upper_bound(ordered.begin(), ordered.end(), contour.priority);
    }
    contour.rank = 1 + static_cast<int32_t>(greater);
    contour.selected = contour.rank <= numberToSelect ? 1 : 0;
  }
}

}  // namespace filamorph
