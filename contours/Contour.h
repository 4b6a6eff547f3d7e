#ifndef FILAMORPH_CONTOURS_CONTOUR_H
#define FILAMORPH_CONTOURS_CONTOUR_H
// A traced contour with its descriptors, bounding box and ordered points.

#include <cstdint>
#include <vector>

namespace filamorph {

// One contour pixel with its chain code and the fitted profile across it.
struct ContourPoint {
  int32_t row = 0;
  int32_t col = 0;
  int16_t chainCode = 0;
  int16_t leftExtent = 0;     // contour pixel to left knot
  int16_t rightExtent = 0;    // contour pixel to right knot
  int16_t leftContrast = 0;
  int16_t rightContrast = 0;
  int16_t leftLength = 0;     // samples on the normal side
  int16_t rightLength = 0;    // samples on the opposite side
  float weightLeft = 0.0f;
  float weightMiddle = 0.0f;
  float weightRight = 0.0f;
  float baseLevel = 0.0f;
  int16_t normal = 0;         // direction code of the normal side
};

// points always holds exactly pointCount records.
struct Contour {
  uint8_t closed = 0;
  uint8_t selected = 0;
  int32_t pointCount = 0;
  int32_t length = 0;
  float meanCurvature = 0.0f;
  int32_t meanContrast = 0;
  int32_t rank = 0;
  float priority = 0.0f;
  int32_t spanCols = 0;
  int32_t spanRows = 0;
  int32_t left = 0;
  int32_t top = 0;
  float meanCol = 0.0f;
  float meanRow = 0.0f;
  std::vector<ContourPoint> points;
};

// Contour i (0-based) is drawn in this colour, red in the low byte.
inline uint32_t contourColor(int32_t index) {
  return (static_cast<uint32_t>(index + 1) * 6789u) & 0xFFFFFFu;
}

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_CONTOUR_H
