#include "image/GrayImage.h"

namespace filamorph {

GrayImage::~GrayImage() {
  releasePlanes();
  kernel.release();
}

void GrayImage::releasePlanes() {
  if (grayPlane.exists()) {
    grayPlane.release();
    grayPlaneAllocated = 0;
  }
  if (filteredPlane.exists()) {
    filteredPlane.release();
    filteredPlaneAllocated = 0;
  }
  fileName.reset();
}

}  // namespace filamorph
