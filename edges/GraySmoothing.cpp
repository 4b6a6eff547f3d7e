// Replacing the gray plane by its smoothed version after detection.
#include "edges/EdgeDetector.h"

namespace filamorph {

void EdgeDetector::smoothGrayPlane() {
  buildSmoothingKernel();
  // Only the pixels the convolution reaches change: the margin keeps its own
  // gray levels instead of turning into a black frame.
  convolveIntoGray();
}

}  // namespace filamorph
