// The direct two-dimensional convolution of the gray plane with the kernel.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/ConvolutionWindow.h"
#include "image/GrayImage.h"

namespace filamorph {
namespace {

// Several output pixels of one row are computed side by side, one per vector
// lane. Each lane adds its own products in exactly the order of the plain
// loop (kernel rows outer, kernel columns inner, one float rounding per
// multiply and per add), so the result is bit-identical to it whatever the
// vector width.
using Lanes4 = float __attribute__((vector_size(16)));
using Lanes8 = float __attribute__((vector_size(32)));
using Lanes16 = float __attribute__((vector_size(64)));
constexpr int32_t kWidestStrip = 128;

// The gray plane as floats, each row padded with zeros so that the last strip
// of a row may read past the window without a bounds test.
struct PaddedGray {
  std::size_t stride = 0;
  const float* levels = nullptr;

  // Every element of the storage in use is written once: the levels, then the
  // padding. The storage is kept from one convolution to the next (detection
  // runs three on the same plane size), so the pages are not faulted in anew.
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
};

// A tap that is not zero, with the offset of the gray level it weighs from
// the output pixel, in the padded plane.
struct Tap {
  std::ptrdiff_t offset;
  float weight;
};

// The taps in the order of the sum, kernel rows outer. Zero taps are left
// out: a product with a zero tap is a zero, the sum starts at +0 and can never
// become -0 (an exact zero sum of non-zero terms rounds to +0), and adding a
// zero to anything but -0 leaves it unchanged. The middle row or column of the
// derivative kernels is zero.
std::vector<Tap> nonZeroTaps(const GrayImage& image, const PaddedGray& gray) {
  std::vector<Tap> taps;
  for (int32_t l = 0; l < image.kernelRows; ++l) {
    for (int32_t k = 0; k < image.kernelCols; ++k) {
      const float weight = image.kernel[l][k];
      if (weight == 0.0f) continue;
      const std::ptrdiff_t offset =
          static_cast<std::ptrdiff_t>(image.kernelRowHalf - l) * static_cast<std::ptrdiff_t>(gray.stride) +
          (image.kernelColHalf - k);
      taps.push_back({offset, weight});
    }
  }
  return taps;
}

// Convolves the window's rows in strips of kVectors vectors of Lanes. Always
// inlined, so that each caller compiles it for its own instruction set.
template <typename Lanes, int32_t kVectors>
[[gnu::always_inline]] inline void convolveWindow(const GrayImage& image, const PaddedGray& gray,
                                                  const ConvolutionWindow& window, Plane<float>& out) {
  constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
  constexpr int32_t kStripWidth = kLanes * kVectors;
  static_assert(kStripWidth <= kWidestStrip);
  const std::vector<Tap> taps = nonZeroTaps(image, gray);
  for (int32_t r = window.firstRow; r <= window.lastRow; ++r) {
    float* outRow = out[r];
    for (int32_t c0 = window.firstCol; c0 <= window.lastCol; c0 += kStripWidth) {
      Lanes acc[kVectors] = {};
      const float* centre = gray.row(r) + c0;
      for (const Tap& tap : taps) {
        // The scalar operand is broadcast once per tap; filling a vector lane
        // by lane compiles, with 512-bit masks, into a masked broadcast that
        // waits on the previous tap's products.
        const float weight = tap.weight;
        const float* levels = centre + tap.offset;
        for (int32_t v = 0; v < kVectors; ++v) {
          Lanes level;
          std::memcpy(&level, levels + kLanes * v, sizeof level);
          acc[v] += weight * level;
        }
      }
      float sums[kStripWidth];
      std::memcpy(sums, acc, sizeof sums);
      const int32_t count = std::min(kStripWidth, window.lastCol - c0 + 1);
      for (int32_t i = 0; i < count; ++i) outRow[c0 + i] = image.kernelScale * sums[i];
    }
  }
}

void convolveWindowBaseline(const GrayImage& image, const PaddedGray& gray, const ConvolutionWindow& window,
                            Plane<float>& out) {
  convolveWindow<Lanes4, 8>(image, gray, window, out);
}

#if defined(__x86_64__) || defined(__i386__)
// AVX has no fused multiply-add, and the build forbids contraction anyway.
[[gnu::target("avx")]] void convolveWindowAvx(const GrayImage& image, const PaddedGray& gray,
                                              const ConvolutionWindow& window, Plane<float>& out) {
  convolveWindow<Lanes8, 8>(image, gray, window, out);
}

[[gnu::target("avx512f")]] void convolveWindowAvx512(const GrayImage& image, const PaddedGray& gray,
                                                     const ConvolutionWindow& window, Plane<float>& out) {
  convolveWindow<Lanes16, 8>(image, gray, window, out);
}
#endif

void convolveWindowFastest(const GrayImage& image, const PaddedGray& gray, const ConvolutionWindow& window,
                           Plane<float>& out) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool hasAvx512 = __builtin_cpu_supports("avx512f");
  static const bool hasAvx = __builtin_cpu_supports("avx");
  if (hasAvx512) {
    convolveWindowAvx512(image, gray, window, out);
    return;
  }
  if (hasAvx) {
    convolveWindowAvx(image, gray, window, out);
    return;
  }
#endif
  convolveWindowBaseline(image, gray, window, out);
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

  thread_local std::vector<float> paddedStorage;
  const PaddedGray gray(grayPlane, paddedStorage);
  convolveWindowFastest(*this, gray, window, filteredPlane);
}

}  // namespace filamorph
