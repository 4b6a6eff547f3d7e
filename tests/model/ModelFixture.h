#ifndef FILAMORPH_TESTS_MODEL_MODELFIXTURE_H
#define FILAMORPH_TESTS_MODEL_MODELFIXTURE_H
// Hand-made analysis objects: a gray plane, a label plane and contours laid
// out pixel by pixel, as tracing would leave them.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "contours/ContourCoder.h"

namespace filamorph::testing {

using Pixel = std::pair<int32_t, int32_t>;  // (row, col)

// Sizes the object and fills its gray plane with level(row, col); no pixel is
// labelled yet.
inline void makeImage(ContourCoder& coder, int32_t rows, int32_t cols,
                      const std::function<uint8_t(int32_t, int32_t)>& level) {
  coder.width = cols;
  coder.height = rows;
  coder.rows = rows;
  coder.cols = cols;
  coder.grayPlane.allocate(rows, cols);
  coder.grayPlaneAllocated = 1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) coder.grayPlane[r][c] = level(r, c);
  }
  coder.labelPlane.allocate(rows, cols, true);
  coder.labelsReady = 1;
}

// Appends a selected contour through these pixels, in order, and labels them
// with its number when the label plane exists.
inline Contour& addContour(ContourCoder& coder, const std::vector<Pixel>& pixels) {
  Contour contour;
  contour.selected = 1;
  contour.pointCount = static_cast<int32_t>(pixels.size());
  for (const auto& [row, col] : pixels) {
    ContourPoint point;
    point.row = row;
    point.col = col;
    contour.points.push_back(point);
  }
  coder.contours.push_back(std::move(contour));
  coder.contourCount = static_cast<int32_t>(coder.contours.size());
  if (coder.labelPlane.exists()) {
    for (const auto& [row, col] : pixels) coder.labelPlane[row][col] = coder.contourCount;
  }
  return coder.contours.back();
}

// The pixels from (row, col) onward in direction code direction.
inline std::vector<Pixel> run(int32_t row, int32_t col, int32_t direction, int32_t length) {
  std::vector<Pixel> pixels;
  for (int32_t i = 0; i < length; ++i) {
    pixels.emplace_back(row + i * kNeighbourOffsets[direction][0], col + i * kNeighbourOffsets[direction][1]);
  }
  return pixels;
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_MODEL_MODELFIXTURE_H
