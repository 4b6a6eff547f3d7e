// The direct two-dimensional convolution of the gray plane with the kernel.
#include <algorithm>
#include <cstring>
#include <vector>

#include "image/ConvolutionLanes.h"
#include "image/ConvolutionWindow.h"
#include "image/GrayImage.h"
#include "image/GrayLevel.h"
#include "image/PaddedBand.h"

namespace filamorph {
namespace {

using convolution::kWidestStrip;
using convolution::Lanes16;
using convolution::Lanes4;
using convolution::Lanes8;
using convolution::RowTarget;

// A tap that is not zero, with the offset of the gray level it weighs from
// the output pixel, in the padded band.
struct Tap {
  std::ptrdiff_t offset;
  float weight;
};

// The taps in the order of the sum, kernel rows outer. Zero taps are left
// out: a product with a zero tap is a zero, the sum starts at +0 and can never
// become -0 (an exact zero sum of non-zero terms rounds to +0), and adding a
// zero to anything but -0 leaves it unchanged. The middle row or column of the
// derivative kernels is zero.
std::vector<Tap> nonZeroTaps(const GrayImage& image, const PaddedBand& band) {
  std::vector<Tap> taps;
  for (int32_t l = 0; l < image.kernelRows; ++l) {
    for (int32_t k = 0; k < image.kernelCols; ++k) {
      const float weight = image.kernel[l][k];
      if (weight == 0.0f) continue;
      taps.push_back({band.tapOffset(image, l, k), weight});
    }
  }
  return taps;
}

// The output rows firstRow..lastRow of one band, over the window's columns.
struct BandJob {
  const std::vector<Tap>& taps;
  float scale;
  const PaddedBand& band;
  int32_t firstRow;
  int32_t lastRow;
  int32_t firstCol;
  int32_t lastCol;
  RowTarget out;
};

// Convolves the band's rows in strips of kVectors vectors of Lanes. Always
// inlined, so that each caller compiles it for its own instruction set.
template <typename Lanes, int32_t kVectors>
[[gnu::always_inline]] inline void convolveBand(const BandJob& job) {
  constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
  constexpr int32_t kStripWidth = kLanes * kVectors;
  static_assert(kStripWidth <= kWidestStrip);
  for (int32_t r = job.firstRow; r <= job.lastRow; ++r) {
    float* outRow = job.out.row(r);
    for (int32_t c0 = job.firstCol; c0 <= job.lastCol; c0 += kStripWidth) {
      Lanes acc[kVectors] = {};
      const float* centre = job.band.row(r) + c0;
      for (const Tap& tap : job.taps) {
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
      const int32_t count = std::min(kStripWidth, job.lastCol - c0 + 1);
      convolution::storeStrip<Lanes, kVectors>(acc, job.scale, count, outRow + c0);
    }
  }
}

void convolveBandBaseline(const BandJob& job) { convolveBand<Lanes4, 8>(job); }

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx")]] void convolveBandAvx(const BandJob& job) { convolveBand<Lanes8, 8>(job); }

[[gnu::target("avx512f")]] void convolveBandAvx512(const BandJob& job) { convolveBand<Lanes16, 8>(job); }
#endif

void convolveBandFastest(const BandJob& job) {
#if defined(__x86_64__) || defined(__i386__)
  static const auto widest =
      convolution::widestCompilation<BandJob>(&convolveBandAvx512, &convolveBandAvx, &convolveBandBaseline);
  widest(job);
#else
  convolveBandBaseline(job);
#endif
}

// Convolves the window band by band: targetOf(first) gives where the band
// starting at output row first goes, finished(first, last) runs after it.
template <typename TargetOf, typename Finished>
void convolveInBands(const GrayImage& image, const ConvolutionWindow& window, TargetOf targetOf, Finished finished) {
  PaddedBand band(image.grayPlane, image.kernelRowHalf, kWidestStrip, convolution::bandStorage());
  const std::vector<Tap> taps = nonZeroTaps(image, band);
  for (int32_t first = window.firstRow; first <= window.lastRow; first += PaddedBand::kOutputRows) {
    const int32_t last = std::min(window.lastRow, first + (PaddedBand::kOutputRows - 1));
    band.advanceTo(first, last);
    convolveBandFastest(
        BandJob{taps, image.kernelScale, band, first, last, window.firstCol, window.lastCol, targetOf(first)});
    finished(first, last);
  }
}

}  // namespace

void GrayImage::convolve() {
  if (!grayPlane.exists()) return;
  if (filteredPlaneAllocated == 0 || filteredPlane.rows() != grayPlane.rows() ||
      filteredPlane.cols() != grayPlane.cols()) {
    filteredPlane.allocate(grayPlane.rows(), grayPlane.cols());
    filteredPlaneAllocated = 1;
  }
  const ConvolutionWindow window = convolutionWindow(*this);
  convolution::zeroOutsideWindow(filteredPlane, window);
  if (window.empty()) return;
  const RowTarget plane = convolution::planeRows(filteredPlane);
  convolveInBands(
      *this, window, [plane](int32_t) { return plane; }, [](int32_t, int32_t) {});
}

void GrayImage::convolveIntoGray() {
  if (!grayPlane.exists()) return;
  const ConvolutionWindow window = convolutionWindow(*this);
  if (window.empty()) return;
  // A band's sums wait here until the band is done. Its gray rows may then be
  // overwritten: the next band reads the rows it shares with this one from
  // the band storage, not from the gray plane.
  thread_local std::vector<float> sums;
  const auto cols = static_cast<std::size_t>(grayPlane.cols());
  sums.resize(std::max(sums.size(), cols * PaddedBand::kOutputRows));
  convolveInBands(
      *this, window, [&](int32_t first) { return RowTarget{sums.data(), cols, first}; },
      [&](int32_t first, int32_t last) {
        for (int32_t r = first; r <= last; ++r) {
          const float* smoothed = sums.data() + cols * static_cast<std::size_t>(r - first);
          uint8_t* gray = grayPlane[r];
          // The clamp also sends a NaN (from degenerate parameters) to 0.
          for (int32_t c = window.firstCol; c <= window.lastCol; ++c)
            gray[c] = static_cast<uint8_t>(clampGrayLevel(smoothed[c]));
        }
      });
}

}  // namespace filamorph
