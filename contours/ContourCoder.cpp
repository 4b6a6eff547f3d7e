#include "contours/ContourCoder.h"

namespace filamorph {

ContourCoder::ContourCoder() = default;

ContourCoder::~ContourCoder() {
  releaseContours();
  labelPlane.release();
}

void ContourCoder::releaseContours() {
  contours.clear();
  contours.shrink_to_fit();
}

void ContourCoder::reset() {
  releaseEdgePlanes();
  releaseContours();
  labelPlane.release();
  contourCount = 0;
  edgePixelCount = 0;
  labelsReady = 0;
  contoursReady = 0;
  neighbourOffsets = kNeighbourOffsets;
}

}  // namespace filamorph
