#ifndef FILAMORPH_IMAGE_CONVOLUTIONLANES_H
#define FILAMORPH_IMAGE_CONVOLUTIONLANES_H
// The pieces the vector convolutions share: lane types, the gray plane as
// padded floats, and the zero margin outside the window.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/ConvolutionWindow.h"
#include "image/GrayImage.h"
#include "image/Plane.h"

namespace filamorph::convolution {

// Several output pixels of one row are computed side by side, one per vector
// lane. Each lane adds its own products in exactly the order of the plain
// loop (kernel rows outer, kernel columns inner, one float rounding per
// multiply and per add), so the result is bit-identical to it whatever the
// vector width.
using Lanes4 = float __attribute__((vector_size(16)));
using Lanes8 = float __attribute__((vector_size(32)));
using Lanes16 = float __attribute__((vector_size(64)));
inline constexpr int32_t kWidestStrip = 128;

// The gray plane as floats, each row padded with zeros so that the last strip
// of a row may read past the window without a bounds test.
struct PaddedGray {
  std::size_t stride = 0;
  const float* levels = nullptr;

  // Every element of the storage in use is written once: the levels, then the
  // padding. The storage is kept from one convolution to the next (detection
  // runs several on the same plane size), so the pages are not faulted in anew.
  PaddedGray(const Plane<uint8_t>& gray, std::vector<float>& storage)
      : stride(static_cast<std::size_t>(gray.cols()) + kWidestStrip) {
    const std::size_t size = static_cast<std::size_t>(gray.rows()) * stride;
    if (storage.size() < size) storage.resize(size);
    for (int32_t r = 0; r < gray.rows(); ++r) {
      const uint8_t* in = gray[r];
      float* out = storage.data() + stride * static_cast<std::size_t>(r);
      for (int32_t c = 0; c < gray.cols(); ++c) out[c] = static_cast<float>(in[c]);
      std::fill(out + gray.cols(), out + stride, 0.0f);
    }
    levels = storage.data();
  }
  const float* row(int32_t r) const { return levels + stride * static_cast<std::size_t>(r); }

  // The offset from an output pixel, in the padded plane, of the level that
  // the image's kernel row l and column k weigh (the kernel is mirrored: a
  // true convolution).
  std::ptrdiff_t tapOffset(const GrayImage& image, int32_t l, int32_t k) const {
    return static_cast<std::ptrdiff_t>(image.kernelRowHalf - l) * static_cast<std::ptrdiff_t>(stride) +
           (image.kernelColHalf - k);
  }
};

// One storage per thread, shared by every convolution of that thread.
inline std::vector<float>& paddedStorage() {
  thread_local std::vector<float> storage;
  return storage;
}

// The margin reads 0 after every convolution, whichever kernel size ran before.
inline void zeroOutsideWindow(Plane<float>& plane, const ConvolutionWindow& window) {
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

// Stores the first count sums of a strip, each times the kernel's scale.
template <typename Lanes, int32_t kVectors>
[[gnu::always_inline]] inline void storeStrip(const Lanes (&acc)[kVectors], float scale, int32_t count, float* out) {
  constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
  float sums[kLanes * kVectors];
  std::memcpy(sums, acc, sizeof sums);
  for (int32_t i = 0; i < count; ++i) out[i] = scale * sums[i];
}

}  // namespace filamorph::convolution

#endif  // FILAMORPH_IMAGE_CONVOLUTIONLANES_H
