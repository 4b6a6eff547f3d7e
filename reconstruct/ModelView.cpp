// The model view of the reconstruction object: its depth plane as a picture.

#include <cstdint>

#include "image/ImageControl.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

void Reconstructor::showModel(ImageControl& image, ImageControl& companion) const {
  image.hint = "Depth Data";
  companion.hint = "Sparseness Data";
  image.width = width;
  image.height = height;
  companion.width = width;
  companion.height = height;
  companion.left = width + 20;
  if (depthPlane.exists() && depthPlane.rows() == rows && depthPlane.cols() == cols) {
    Bitmap& picture = image.picture;
    if (picture.format != PixelFormat::Bits24 || picture.width != cols || picture.height != rows) {
      image.assign(Bitmap::make24(cols, rows));
    }
    const uint8_t* depth = depthPlane.data();
    uint8_t* bgr = picture.pixels.data();
    for (std::size_t i = 0, count = depthPlane.size(); i < count; ++i, bgr += 3) {
      // (255 x depth) mod 256: depth v from 1 to 255 shows as 256 - v, 0 stays black.
      const uint8_t shade = static_cast<uint8_t>(255u * depth[i]);
      bgr[0] = bgr[1] = bgr[2] = shade;
    }
  }
  image.repaint();
  companion.repaint();
}

}  // namespace filamorph
