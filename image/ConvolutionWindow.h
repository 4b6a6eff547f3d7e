#ifndef FILAMORPH_IMAGE_CONVOLUTIONWINDOW_H
#define FILAMORPH_IMAGE_CONVOLUTIONWINDOW_H
// The output pixels that a convolution writes: those whose whole kernel
// footprint lies inside the gray plane.

#include <cstdint>

#include "image/GrayImage.h"

namespace filamorph {

// Inclusive bounds; empty when the kernel is empty or does not fit the image.
struct ConvolutionWindow {
  int32_t firstRow = 0;
  int32_t lastRow = -1;
  int32_t firstCol = 0;
  int32_t lastCol = -1;

  bool empty() const { return lastRow < firstRow || lastCol < firstCol; }
  bool contains(int32_t row, int32_t col) const {
    return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
  }
};

// The window of the current kernel over the gray plane. A kernel whose taps
// would reach past its half-lengths (or whose plane disagrees with its size)
// writes nothing rather than read outside the image.
inline ConvolutionWindow convolutionWindow(const GrayImage& image) {
  ConvolutionWindow window;
  const bool kernelConsistent = image.kernel.exists() && image.kernelRows >= 1 && image.kernelCols >= 1 &&
                                image.kernel.rows() == image.kernelRows && image.kernel.cols() == image.kernelCols &&
                                image.kernelRowHalf >= 0 && image.kernelColHalf >= 0 &&
                                int64_t{image.kernelRows} <= 2 * int64_t{image.kernelRowHalf} + 1 &&
                                int64_t{image.kernelCols} <= 2 * int64_t{image.kernelColHalf} + 1;
  if (!image.grayPlane.exists() || !kernelConsistent) return window;
  const int64_t lastRow = int64_t{image.grayPlane.rows()} - image.kernelRowHalf - 1;
  const int64_t lastCol = int64_t{image.grayPlane.cols()} - image.kernelColHalf - 1;
  if (lastRow < image.kernelRowHalf || lastCol < image.kernelColHalf) return window;
  window.firstRow = image.kernelRowHalf;
  window.lastRow = static_cast<int32_t>(lastRow);
  window.firstCol = image.kernelColHalf;
  window.lastCol = static_cast<int32_t>(lastCol);
  return window;
}

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_CONVOLUTIONWINDOW_H
