#include "evaluation/Metrics.h"

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

namespace filamorph::evaluation {
namespace {

void requireSameSize(const Plane<uint8_t>& reference, const Plane<uint8_t>& test) {
  if (reference.rows() != test.rows() || reference.cols() != test.cols()) {
    throw std::invalid_argument("the two images differ in size");
  }
  if (reference.size() == 0) throw std::invalid_argument("the images hold no pixels");
}

// The one-dimensional Gaussian whose outer product is the 2-D window; the
// outer product of a kernel normalised to sum 1 also sums to 1.
std::array<double, kSsimWindow> gaussianTaps() {
  std::array<double, kSsimWindow> taps{};
  const int half = kSsimWindow / 2;
  double sum = 0.0;
  for (int i = 0; i < kSsimWindow; ++i) {
    const double x = i - half;
    taps[i] = std::exp(-(x * x) / (2.0 * kSsimSigma * kSsimSigma));
    sum += taps[i];
  }
  for (double& tap : taps) tap /= sum;
  return taps;
}

// The five window statistics of every valid window position, filtered
// separably: first along each row, then down each column.
struct WindowSums {
  std::vector<double> x, y, xx, yy, xy;
};

}  // namespace

double psnr(const Plane<uint8_t>& reference, const Plane<uint8_t>& test) {
  requireSameSize(reference, test);
  const uint8_t* a = reference.data();
  const uint8_t* b = test.data();
  uint64_t squaredSum = 0;
  for (std::size_t i = 0, n = reference.size(); i < n; ++i) {
    const int difference = static_cast<int>(a[i]) - static_cast<int>(b[i]);
    squaredSum += static_cast<uint64_t>(difference * difference);
  }
  if (squaredSum == 0) return std::numeric_limits<double>::infinity();
  const double mse = static_cast<double>(squaredSum) / static_cast<double>(reference.size());
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

double ssim(const Plane<uint8_t>& reference, const Plane<uint8_t>& test) {
  requireSameSize(reference, test);
  const int rows = reference.rows();
  const int cols = reference.cols();
  if (rows < kSsimWindow || cols < kSsimWindow) return std::numeric_limits<double>::quiet_NaN();

  const std::array<double, kSsimWindow> taps = gaussianTaps();
  const int outCols = cols - kSsimWindow + 1;
  const int outRows = rows - kSsimWindow + 1;

  // Row pass: the five products filtered along each row, valid columns only.
  const std::size_t rowPassSize = static_cast<std::size_t>(rows) * outCols;
  WindowSums rowPass{std::vector<double>(rowPassSize), std::vector<double>(rowPassSize),
                     std::vector<double>(rowPassSize), std::vector<double>(rowPassSize),
                     std::vector<double>(rowPassSize)};
  for (int r = 0; r < rows; ++r) {
    const uint8_t* a = reference[r];
    const uint8_t* b = test[r];
    for (int c = 0; c < outCols; ++c) {
      double x = 0.0, y = 0.0, xx = 0.0, yy = 0.0, xy = 0.0;
      for (int k = 0; k < kSsimWindow; ++k) {
        const double va = a[c + k];
        const double vb = b[c + k];
        const double w = taps[k];
        x += w * va;
        y += w * vb;
        xx += w * (va * va);
        yy += w * (vb * vb);
        xy += w * (va * vb);
      }
      const std::size_t at = static_cast<std::size_t>(r) * outCols + c;
      rowPass.x[at] = x;
      rowPass.y[at] = y;
      rowPass.xx[at] = xx;
      rowPass.yy[at] = yy;
      rowPass.xy[at] = xy;
    }
  }

  const double c1 = (kSsimK1 * 255.0) * (kSsimK1 * 255.0);
  const double c2 = (kSsimK2 * 255.0) * (kSsimK2 * 255.0);
  double mapSum = 0.0;
  for (int r = 0; r < outRows; ++r) {
    for (int c = 0; c < outCols; ++c) {
      double x = 0.0, y = 0.0, xx = 0.0, yy = 0.0, xy = 0.0;
      for (int k = 0; k < kSsimWindow; ++k) {
        const std::size_t at = static_cast<std::size_t>(r + k) * outCols + c;
        const double w = taps[k];
        x += w * rowPass.x[at];
        y += w * rowPass.y[at];
        xx += w * rowPass.xx[at];
        yy += w * rowPass.yy[at];
        xy += w * rowPass.xy[at];
      }
      const double varianceX = xx - x * x;
      const double varianceY = yy - y * y;
      const double covariance = xy - x * y;
      mapSum += ((2.0 * x * y + c1) * (2.0 * covariance + c2)) /
                ((x * x + y * y + c1) * (varianceX + varianceY + c2));
    }
  }
  return mapSum / (static_cast<double>(outRows) * outCols);
}

}  // namespace filamorph::evaluation
