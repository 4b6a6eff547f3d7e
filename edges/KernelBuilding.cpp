// The three kernel builders of the edge detector.
#include <algorithm>
#include <cstdint>
#include <new>

#include "edges/EdgeDetector.h"
#include "edges/FilterKernels.h"

namespace filamorph {
namespace {

// Sets the kernel geometry for half-length n, makes a kernel plane of that
// size and returns the half-length the taps run over. A negative half-length
// gives an empty kernel, which convolves nothing; its side is kept from
// wrapping round to a positive size, and its taps from negating INT32_MIN.
int32_t prepareKernel(GrayImage& image, int32_t n) {
  const int64_t side = 2 * int64_t{n} + 1;
  if (side > INT32_MAX) throw std::bad_alloc();
  image.kernelRowHalf = image.kernelColHalf = n;
  image.kernelRows = image.kernelCols = static_cast<int32_t>(std::max<int64_t>(side, INT32_MIN));
  image.kernel.allocate(image.kernelRows, image.kernelCols);
  return std::max(n, -1);
}

}  // namespace

void EdgeDetector::buildSmoothingKernel() {
  const FilterConstants constants = filterConstants(lambda, tau);
  const int32_t n = prepareKernel(*this, filterLength);
  float sum = 0.0f;
  for (int32_t j = -n; j <= n; ++j) {
    for (int32_t i = -n; i <= n; ++i) {
      const float tap = smoothingTap(constants, j, i);
      kernel[n + j][n + i] = tap;
      sum += tap;
    }
  }
  // The reciprocal of the tap sum keeps the mean gray level.
  kernelScale = 1.0f / sum;
}

void EdgeDetector::buildVerticalDerivativeKernel() {
  const FilterConstants constants = filterConstants(lambda, tau);
  const int32_t n = prepareKernel(*this, filterLength);
  for (int32_t j = -n; j <= n; ++j) {
    for (int32_t i = -n; i <= n; ++i) kernel[n + j][n + i] = verticalDerivativeTap(constants, j, i);
  }
  kernelScale = 1.0f;
}

void EdgeDetector::buildHorizontalDerivativeKernel() {
  const FilterConstants constants = filterConstants(lambda, tau);
  const int32_t n = prepareKernel(*this, filterLength);
  for (int32_t j = -n; j <= n; ++j) {
    for (int32_t i = -n; i <= n; ++i) kernel[n + j][n + i] = verticalDerivativeTap(constants, i, j);
  }
  kernelScale = 1.0f;
}

}  // namespace filamorph
