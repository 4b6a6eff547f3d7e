// The edge-map view: white edges on black.
#include <utility>

#include "edges/EdgeDetector.h"

namespace filamorph {

void EdgeDetector::showEdgeMap(ImageControl& image) const {
  if (edgePlanesAllocated == 0) return;
  // Every pixel is drawn, so a 24-bit picture of the map's size is drawn
  // over rather than made anew.
  Bitmap picture = std::move(image.picture);
  if (picture.format != PixelFormat::Bits24 || picture.width != edgeMap.cols() || picture.height != edgeMap.rows())
    picture = Bitmap::make24(edgeMap.cols(), edgeMap.rows());
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
