#ifndef FILAMORPH_TESTS_EDGES_EDGETESTSUPPORT_H
#define FILAMORPH_TESTS_EDGES_EDGETESTSUPPORT_H
// Small fixtures for the edge-detection tests: gray planes from rows of text
// or functions, maps from lists of positions, and the default parameters.

#include <cstdint>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "commands/CommandParameters.h"
#include "edges/EdgeDetector.h"

namespace filamorph::testing {

using Position = std::pair<int32_t, int32_t>;  // (row, column)
using PositionSet = std::set<Position>;

// Gives the detector a gray plane of rows x cols with the level level(r, c).
inline void setGray(EdgeDetector& detector, int32_t rows, int32_t cols,
                    const std::function<uint8_t(int32_t, int32_t)>& level) {
  detector.width = detector.cols = cols;
  detector.height = detector.rows = rows;
  detector.grayPlane.allocate(rows, cols);
  detector.grayPlaneAllocated = 1;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) detector.grayPlane[r][c] = level(r, c);
}

// The parameters of the Detect Contours command.
inline void setDefaultParameters(EdgeDetector& detector, int32_t low = kDetectContoursParameters.lowThreshold,
                                 int32_t high = kDetectContoursParameters.highThreshold) {
  setDetectContoursParameters(detector);
  detector.setThresholds(low, high);
}

// An edge map of rows x cols holding 250 at the given positions, as thinning
// and the view receive it.
inline void setEdgeMap(EdgeDetector& detector, int32_t rows, int32_t cols, const PositionSet& edges) {
  detector.width = detector.cols = cols;
  detector.height = detector.rows = rows;
  detector.edgeMap.allocate(rows, cols, /*zeroFill=*/true);
  detector.edgePlanesAllocated = 1;
  for (const auto& [r, c] : edges) detector.edgeMap[r][c] = 250;
}

inline PositionSet nonZeroPositions(const Plane<uint8_t>& plane) {
  PositionSet found;
  for (int32_t r = 0; r < plane.rows(); ++r)
    for (int32_t c = 0; c < plane.cols(); ++c)
      if (plane[r][c] != 0) found.insert({r, c});
  return found;
}

template <typename T>
std::vector<T> contents(const Plane<T>& plane) {
  return std::vector<T>(plane.data(), plane.data() + plane.size());
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_EDGES_EDGETESTSUPPORT_H
