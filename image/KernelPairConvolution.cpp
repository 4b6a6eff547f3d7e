// One pass over the padded gray plane for two kernels: each level is loaded
// once for both sums, and multiplied once when the two weights at its place
// are equal or opposite (as in the two derivative kernels, one the transpose
// of the other, whose weights differ at most in sign).
#include "image/KernelPairConvolution.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/WorkThreads.h"
#include "image/ConvolutionLanes.h"
#include "image/ConvolutionWindow.h"
#include "image/PaddedBand.h"

namespace filamorph {
namespace {

using convolution::kWidestStrip;
using convolution::Lanes16;
using convolution::Lanes4;
using convolution::Lanes8;
using convolution::RowTarget;

// The most runs of bands shared among the threads: enough that the caller
// keeps working when the helper starts late.
constexpr int32_t kBandRuns = 8;

// What a kernel place adds to the two sums. A zero weight adds nothing (see
// the single-kernel convolution: a zero product cannot change a sum that
// starts at +0). An opposite weight gives exactly the negated product, since
// rounding is symmetric, and subtracting a product is adding its negation.
enum class PlaceKind : uint8_t { FirstOnly, SecondOnly, Same, Opposite, Distinct };

struct PairTap {
  std::ptrdiff_t offset;
  float first;
  float second;
};

// A run of consecutive places of one kind, so that the kind is decided once
// per run rather than once per place.
struct Run {
  PlaceKind kind;
  uint32_t begin;
  uint32_t end;
};

struct PairPlan {
  std::vector<PairTap> taps;
  std::vector<Run> runs;
};

PlaceKind placeKind(float first, float second) {
  if (second == 0.0f) return PlaceKind::FirstOnly;
  if (first == 0.0f) return PlaceKind::SecondOnly;
  if (second == first) return PlaceKind::Same;
  if (second == -first) return PlaceKind::Opposite;
  return PlaceKind::Distinct;
}

// The places in the order of both sums, kernel rows outer; places where both
// weights are zero are left out.
PairPlan pairPlan(const GrayImage& image, const PaddedBand& band, const Plane<float>& first,
                  const Plane<float>& second) {
  PairPlan plan;
  for (int32_t l = 0; l < image.kernelRows; ++l) {
    for (int32_t k = 0; k < image.kernelCols; ++k) {
      const float a = first[l][k];
      const float b = second[l][k];
      if (a == 0.0f && b == 0.0f) continue;
      const PlaceKind kind = placeKind(a, b);
      const auto index = static_cast<uint32_t>(plan.taps.size());
      plan.taps.push_back({band.tapOffset(image, l, k), a, b});
      if (plan.runs.empty() || plan.runs.back().kind != kind) plan.runs.push_back({kind, index, index});
      plan.runs.back().end = index + 1;
    }
  }
  return plan;
}

template <typename Lanes, int32_t kVectors, PlaceKind kKind>
[[gnu::always_inline]] inline void addRun(const PairTap* tap, const PairTap* end, const float* centre,
                                          Lanes (&a)[kVectors], Lanes (&b)[kVectors]) {
  constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
  for (; tap != end; ++tap) {
    // Scalar weights, broadcast once per place (see the single-kernel loop).
    const float first = tap->first;
    const float second = tap->second;
    const float* levels = centre + tap->offset;
    for (int32_t v = 0; v < kVectors; ++v) {
      Lanes level;
      std::memcpy(&level, levels + kLanes * v, sizeof level);
      if constexpr (kKind == PlaceKind::FirstOnly) {
        a[v] += first * level;
      } else if constexpr (kKind == PlaceKind::SecondOnly) {
        b[v] += second * level;
      } else if constexpr (kKind == PlaceKind::Same) {
        const Lanes product = first * level;
        a[v] += product;
        b[v] += product;
      } else if constexpr (kKind == PlaceKind::Opposite) {
        const Lanes product = first * level;
        a[v] += product;
        b[v] -= product;
      } else {
        a[v] += first * level;
        b[v] += second * level;
      }
    }
  }
}

// The output rows firstRow..lastRow of one band, over the window's columns.
struct PairJob {
  const PairPlan& plan;
  const PaddedBand& band;
  int32_t firstRow;
  int32_t lastRow;
  int32_t firstCol;
  int32_t lastCol;
  float firstScale;
  float secondScale;
  RowTarget firstOut;
  RowTarget secondOut;
};

// Convolves the band's rows in strips of kVectors vectors of Lanes for both
// kernels. Always inlined, so that each caller compiles it for its own
// instruction set.
template <typename Lanes, int32_t kVectors>
[[gnu::always_inline]] inline void convolvePairBand(const PairJob& job) {
  constexpr int32_t kLanes = static_cast<int32_t>(sizeof(Lanes) / sizeof(float));
  constexpr int32_t kStripWidth = kLanes * kVectors;
  static_assert(kStripWidth <= kWidestStrip);
  const PairTap* taps = job.plan.taps.data();
  for (int32_t r = job.firstRow; r <= job.lastRow; ++r) {
    for (int32_t c0 = job.firstCol; c0 <= job.lastCol; c0 += kStripWidth) {
      Lanes a[kVectors] = {};
      Lanes b[kVectors] = {};
      const float* centre = job.band.row(r) + c0;
      for (const Run& run : job.plan.runs) {
        const PairTap* begin = taps + run.begin;
        const PairTap* end = taps + run.end;
        switch (run.kind) {
          case PlaceKind::FirstOnly:
            addRun<Lanes, kVectors, PlaceKind::FirstOnly>(begin, end, centre, a, b);
            break;
          case PlaceKind::SecondOnly:
            addRun<Lanes, kVectors, PlaceKind::SecondOnly>(begin, end, centre, a, b);
            break;
          case PlaceKind::Same:
            addRun<Lanes, kVectors, PlaceKind::Same>(begin, end, centre, a, b);
            break;
          case PlaceKind::Opposite:
            addRun<Lanes, kVectors, PlaceKind::Opposite>(begin, end, centre, a, b);
            break;
          case PlaceKind::Distinct:
            addRun<Lanes, kVectors, PlaceKind::Distinct>(begin, end, centre, a, b);
            break;
        }
      }
      const int32_t count = std::min(kStripWidth, job.lastCol - c0 + 1);
      convolution::storeStrip<Lanes, kVectors>(a, job.firstScale, count, job.firstOut.row(r) + c0);
      convolution::storeStrip<Lanes, kVectors>(b, job.secondScale, count, job.secondOut.row(r) + c0);
    }
  }
}

// Two sums per strip need twice the accumulators of one: four vectors per
// strip keep them in the sixteen registers of SSE and AVX.
void convolvePairBaseline(const PairJob& job) {
  convolvePairBand<Lanes4, 4>(job);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx")]] void convolvePairAvx(const PairJob& job) {
  convolvePairBand<Lanes8, 4>(job);
}

[[gnu::target("avx512f")]] void convolvePairAvx512(const PairJob& job) {
  convolvePairBand<Lanes16, 8>(job);
}
#endif

void convolvePairFastest(const PairJob& job) {
#if defined(__x86_64__) || defined(__i386__)
  static const auto widest =
      convolution::widestCompilation<PairJob>(&convolvePairAvx512, &convolvePairAvx, &convolvePairBaseline);
  widest(job);
#else
  convolvePairBaseline(job);
#endif
}

bool hasKernelSize(const GrayImage& image, const Plane<float>& weights) {
  return weights.rows() == image.kernelRows && weights.cols() == image.kernelCols;
}

void matchGraySize(const Plane<uint8_t>& gray, Plane<float>& out) {
  if (!out.exists() || out.rows() != gray.rows() || out.cols() != gray.cols()) out.allocate(gray.rows(), gray.cols());
}

}  // namespace

void convolveKernelPair(const GrayImage& image, const PairKernel& first, Plane<float>& firstOut,
                        const PairKernel& second, Plane<float>& secondOut) {
  if (!image.grayPlane.exists()) return;
  matchGraySize(image.grayPlane, firstOut);
  matchGraySize(image.grayPlane, secondOut);
  ConvolutionWindow window = convolutionWindow(image);
  if (!hasKernelSize(image, first.weights) || !hasKernelSize(image, second.weights)) window = ConvolutionWindow{};
  convolution::zeroOutsideWindow(firstOut, window);
  convolution::zeroOutsideWindow(secondOut, window);
  if (window.empty()) return;

  const RowTarget firstRows = convolution::planeRows(firstOut);
  const RowTarget secondRows = convolution::planeRows(secondOut);
  // Successive bands share input rows through their storage; runs of them go
  // to the threads, each on band storage of its own.
  const int32_t bands = (window.lastRow - window.firstRow) / PaddedBand::kOutputRows + 1;
  const bool shared = image.workThreads != nullptr && image.workThreads->count() > 1;
  const int32_t runs = shared ? std::min(bands, kBandRuns) : 1;
  forTasks(image.workThreads, runs, [&](int32_t run) {
    PaddedBand band(image.grayPlane, image.kernelRowHalf, kWidestStrip, convolution::bandStorage());
    const PairPlan plan = pairPlan(image, band, first.weights, second.weights);
    for (int32_t b = bands * run / runs; b < bands * (run + 1) / runs; ++b) {
      const int32_t top = window.firstRow + b * PaddedBand::kOutputRows;
      const int32_t bottom = std::min(window.lastRow, top + (PaddedBand::kOutputRows - 1));
      band.advanceTo(top, bottom);
      convolvePairFastest(PairJob{plan, band, top, bottom, window.firstCol, window.lastCol, first.scale, second.scale,
                                  firstRows, secondRows});
    }
  });
}

}  // namespace filamorph
