// The edge-map view: white edges on black.
#include "edges/EdgeDetector.h"

namespace filamorph {

void EdgeDetector::showEdgeMap(ImageControl& image) const {
  if (edgePlanesAllocated == 0) return;
  Bitmap picture = Bitmap::make24(edgeMap.cols(), edgeMap.rows());
  image.hint = "Edge Map";
  for (int32_t r = 0; r < edgeMap.rows(); ++r) {
    const uint8_t* edges = edgeMap[r];
    uint8_t* bgr = picture.scanLine(r);
    for (int32_t c = 0; c < edgeMap.cols(); ++c, bgr += 3) {
      const uint8_t v = edges[c] != 0 ? 255 : 0;
      bgr[0] = bgr[1] = bgr[2] = v;
    }
  }
  image.assign(std::move(picture));
  image.repaint();
}

}  // namespace filamorph
