// The direct two-dimensional convolution of the gray plane with the kernel.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/ConvolutionLanes.h"
#include "image/ConvolutionWindow.h"
#include "image/GrayImage.h"

namespace filamorph {
namespace {

using convolution::kWidestStrip;
using convolution::Lanes16;
using convolution::Lanes4;
using convolution::Lanes8;
using convolution::PaddedGray;

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
      taps.push_back({gray.tapOffset(image, l, k), weight});
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
      const int32_t count = std::min(kStripWidth, window.lastCol - c0 + 1);
      convolution::storeStrip<Lanes, kVectors>(acc, image.kernelScale, count, outRow + c0);
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

}  // namespace

void GrayImage::convolve() {
  if (!grayPlane.exists()) return;
  if (filteredPlaneAllocated == 0 || filteredPlane.rows() != grayPlane.rows() ||
      filteredPlane.cols() != grayPlane.cols()) {
    filteredPlane.allocate(grayPlane.rows(), grayPlane.cols(), /*zeroFill=*/true);
    filteredPlaneAllocated = 1;
  }
  const ConvolutionWindow window = convolutionWindow(*this);
  convolution::zeroOutsideWindow(filteredPlane, window);
  if (window.empty()) return;

  const PaddedGray gray(grayPlane, convolution::paddedStorage());
  convolveWindowFastest(*this, gray, window, filteredPlane);
}

}  // namespace filamorph
