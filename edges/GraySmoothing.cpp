// Replacing the gray plane by its smoothed version after detection.
#include "image/ConvolutionWindow.h"
#include "edges/EdgeDetector.h"
#include "image/GrayLevel.h"

namespace filamorph {

void EdgeDetector::smoothGrayPlane() {
  buildSmoothingKernel();
  convolve();
  // Only the pixels the convolution wrote change: the margin keeps its own
  // gray levels instead of turning into a black frame.
  const ConvolutionWindow window = convolutionWindow(*this);
  if (window.empty()) return;
  for (int32_t r = window.firstRow; r <= window.lastRow; ++r) {
    const float* smoothed = filteredPlane[r];
    uint8_t* gray = grayPlane[r];
    for (int32_t c = window.firstCol; c <= window.lastCol; ++c) {
      // The clamp also sends a NaN (from degenerate parameters) to 0.
      gray[c] = static_cast<uint8_t>(clampGrayLevel(smoothed[c]));
    }
  }
}

}  // namespace filamorph
