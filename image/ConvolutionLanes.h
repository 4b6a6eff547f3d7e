#ifndef FILAMORPH_IMAGE_CONVOLUTIONLANES_H
#define FILAMORPH_IMAGE_CONVOLUTIONLANES_H
// The pieces the vector convolutions share: lane types, the band storage,
// where output rows go, and the zero margin outside the window.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/ProcessorFeatures.h"
#include "image/ConvolutionWindow.h"
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
// The widest strip of output pixels, and so the zero padding of each band row.
inline constexpr int32_t kWidestStrip = 128;

// The widest of a convolution's three compilations that the processor runs:
// AVX-512, AVX (no fused multiply-add, which the build forbids anyway) and
// the baseline.
template <typename Job>
using Compilation = void (*)(const Job&);
template <typename Job>
Compilation<Job> widestCompilation(Compilation<Job> avx512, Compilation<Job> avx, Compilation<Job> baseline) {
  if (processorFeatures().avx512f) return avx512;
  if (processorFeatures().avx) return avx;
  return baseline;
}

// One band storage per thread, shared by every convolution of that thread.
inline std::vector<float>& bandStorage() {
  thread_local std::vector<float> storage;
  return storage;
}

// Output rows of floats, row r at base + (r - firstRow) * rowStride.
struct RowTarget {
  float* base;
  std::size_t rowStride;
  int32_t firstRow;
  float* row(int32_t r) const { return base + rowStride * static_cast<std::size_t>(r - firstRow); }
};

inline RowTarget planeRows(Plane<float>& plane) {
  return RowTarget{plane.data(), static_cast<std::size_t>(plane.cols()), 0};
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
