// The contour, descriptor and bounding-box views of the traced contours.

#include <cstddef>

#include "contours/ContourCoder.h"

namespace filamorph {

namespace {

void drawSelectedContours(const std::vector<Contour>& contours, ImageControl& image) {
  for (std::size_t i = 0; i < contours.size(); ++i) {
    const Contour& contour = contours[i];
    if (contour.selected != 1) continue;
    const Color color = contourColor(static_cast<int32_t>(i));
    for (const ContourPoint& point : contour.points) image.setPixel(point.col, point.row, color);
  }
}

}  // namespace

void ContourCoder::showContours(ImageControl& image, ImageControl& companion) const {
  image.hint = "BlobColor[][]";
  companion.left = image.width + 18;
  companion.width = image.width;
  companion.height = image.height;
  companion.hint = "ContourDescriptor[]";
  drawSelectedContours(contours, image);
  image.repaint();
  companion.repaint();
}

void ContourCoder::showDescriptor(ImageControl& image) const {
  image.hint = "Contour Descriptor";
  image.width = width;
  image.height = height;
  drawSelectedContours(contours, image);
}

// Each frame runs one pixel outside the contour's top and left edges but
// along its last row and column.
void ContourCoder::showBoundingBoxes(ImageControl& image) const {
  image.brushSolid = true;
  image.hint = "Bounding Box";
  for (std::size_t i = 0; i < contours.size(); ++i) {
    const Contour& contour = contours[i];
    if (contour.selected != 1) continue;
    image.brushColor = contourColor(static_cast<int32_t>(i));
    image.frameRect(contour.left - 1, contour.top - 1, contour.left + contour.spanCols + 1,
                    contour.top + contour.spanRows + 1);
  }
}

}  // namespace filamorph
