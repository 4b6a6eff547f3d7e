// The direct two-dimensional convolution of the gray plane with the kernel.
#include <algorithm>
#include <cstring>
#include <vector>

#include "edges/ConvolutionWindow.h"
#include "image/GrayImage.h"

namespace filamorph {
namespace {

// Several output pixels of one row are computed side by side, one per vector
// lane. Each lane adds its own products in exactly the order of the plain
// loop (kernel rows outer, kernel columns inner, one float rounding per
// multiply and per add), so the result is bit-identical to it.
using Lanes = float __attribute__((vector_size(16)));
constexpr int32_t kLanes = 4;
constexpr int32_t kStripVectors = 8;
constexpr int32_t kStripWidth = kLanes * kStripVectors;

Lanes loadLanes(const float* source) {
  Lanes value;
  std::memcpy(&value, source, sizeof value);
  return value;
}

// The gray plane as floats, each row padded with kStripWidth zeros so that
// the last strip of a row may read past the window without a bounds test.
struct PaddedGray {
  std::vector<float> levels;
  std::size_t stride = 0;

  explicit PaddedGray(const Plane<uint8_t>& gray)
      : levels(static_cast<std::size_t>(gray.rows()) * (static_cast<std::size_t>(gray.cols()) + kStripWidth), 0.0f),
        stride(static_cast<std::size_t>(gray.cols()) + kStripWidth) {
    for (int32_t r = 0; r < gray.rows(); ++r) {
      const uint8_t* in = gray[r];
      float* out = levels.data() + stride * static_cast<std::size_t>(r);
      for (int32_t c = 0; c < gray.cols(); ++c) out[c] = static_cast<float>(in[c]);
    }
  }
  const float* row(int32_t r) const { return levels.data() + stride * static_cast<std::size_t>(r); }
};

// Sums for kStripWidth consecutive output pixels of row r from column c0.
void convolveStrip(const GrayImage& image, const PaddedGray& gray, int32_t r, int32_t c0, float* sums) {
  Lanes acc[kStripVectors] = {};
  for (int32_t l = 0; l < image.kernelRows; ++l) {
    const float* source = gray.row(r + image.kernelRowHalf - l) + c0 + image.kernelColHalf;
    const float* taps = image.kernel[l];
    for (int32_t k = 0; k < image.kernelCols; ++k) {
      const float tap = taps[k];
      const Lanes weight = {tap, tap, tap, tap};
      const float* levels = source - k;
      for (int32_t v = 0; v < kStripVectors; ++v) acc[v] += weight * loadLanes(levels + kLanes * v);
    }
  }
  std::memcpy(sums, acc, sizeof acc);
}

void zeroOutsideWindow(Plane<float>& plane, const ConvolutionWindow& window) {
  for (int32_t r = 0; r < plane.rows(); ++r) {
    float* row = plane[r];
    if (window.empty() || r < window.firstRow || r > window.lastRow) {
      std::fill(row, row + plane.cols(), 0.0f);
    } else {
      std::fill(row, row + window.firstCol, 0.0f);
      std::fill(row + window.lastCol + 1, row + plane.cols(), 0.0f);
    }
  }
}

}  // namespace

void GrayImage::convolve() {
  if (!grayPlane.exists()) return;
  if (filteredPlaneAllocated == 0 || filteredPlane.rows() != grayPlane.rows() ||
      filteredPlane.cols() != grayPlane.cols()) {
    filteredPlane.allocate(grayPlane.rows(), grayPlane.cols(), /*zeroFill=*/true);
    filteredPlaneAllocated = 1;
  }
  const ConvolutionWindow window = convolutionWindow(*this);
  // The margin reads 0 after every convolution, whichever kernel size ran before.
  zeroOutsideWindow(filteredPlane, window);
  if (window.empty()) return;

  const PaddedGray gray(grayPlane);
  float sums[kStripWidth];
  for (int32_t r = window.firstRow; r <= window.lastRow; ++r) {
    float* out = filteredPlane[r];
    for (int32_t c0 = window.firstCol; c0 <= window.lastCol; c0 += kStripWidth) {
      convolveStrip(*this, gray, r, c0, sums);
      const int32_t count = std::min(kStripWidth, window.lastCol - c0 + 1);
      for (int32_t i = 0; i < count; ++i) out[c0 + i] = kernelScale * sums[i];
    }
  }
}

}  // namespace filamorph
