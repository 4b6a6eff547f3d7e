#ifndef FILAMORPH_MODEL_MEDIANFILTER_H
#define FILAMORPH_MODEL_MEDIANFILTER_H
// The three-point median along a contour, applied to one field of its points.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "contours/Contour.h"

namespace filamorph {

template <typename T>
T medianOfThree(T a, T b, T c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Replaces field j by the median of the unfiltered fields j - 1, j and j + 1;
// the first and last point stand in for their missing neighbour, so they keep
// their value. Works in place, carrying the one unfiltered value it overwrote.
template <typename T>
void medianFilterAlongContour(std::vector<ContourPoint>& points, T ContourPoint::*field) {
  const std::size_t count = points.size();
  if (count < 3) return;
  T before = points[0].*field;
  for (std::size_t j = 1; j + 1 < count; ++j) {
    const T current = points[j].*field;
    points[j].*field = medianOfThree(before, current, points[j + 1].*field);
    before = current;
  }
}

}  // namespace filamorph

#endif  // FILAMORPH_MODEL_MEDIANFILTER_H
