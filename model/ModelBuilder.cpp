// Model building over the traced contour table.

#include <cstdint>

#include "contours/ContourCoder.h"

namespace filamorph {
namespace {

// Sampling reads the gray and label planes at any pixel inside the image.
bool planesCoverImage(const ContourCoder& coder) {
  return coder.rows == coder.height && coder.cols == coder.width && coder.grayPlane.exists() &&
         coder.grayPlane.rows() == coder.rows && coder.grayPlane.cols() == coder.cols &&
         coder.labelPlane.exists() && coder.labelPlane.rows() == coder.rows &&
         coder.labelPlane.cols() == coder.cols;
}

}  // namespace

void ContourCoder::buildModel() {
  if (contours.empty() || !planesCoverImage(*this)) return;
  measureSpans();
  const int32_t tableSize = static_cast<int32_t>(contours.size());
  for (int32_t contour = 0; contour < tableSize; ++contour) {
    const int32_t pointCount = static_cast<int32_t>(contours[contour].points.size());
    for (int32_t point = 0; point < pointCount; ++point) {
      sampleProfile(contour, point);
      fitProfile(contour, point);
    }
  }
}

}  // namespace filamorph
