// Hysteresis with thresholds read off the distribution of the gradient magnitude.
#include <bit>
#include <cmath>
#include <cstring>

#include "edges/EdgeDetector.h"
#include "edges/MagnitudeHistogram.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace filamorph {
namespace {

constexpr int32_t kLastBin = 256;

// Truncation toward zero that stays defined for any float: NaN gives 0 and
// values beyond the range of int32 saturate.
int32_t truncToInt32(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return INT32_MAX;
  if (value <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(value);
}

constexpr int32_t kSeedBlock = 16;

// Bit i is set when column c + i holds a candidate whose magnitude reaches
// high (a NaN does not), for the 16 columns from c.
uint32_t seedBits(const uint8_t* edges, const float* magnitude, int32_t c, float high) {
#if defined(__SSE2__)
  const __m128i marks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(edges + c));
  const auto candidates =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(marks, _mm_set1_epi8(static_cast<char>(kCandidateCode)))));
  if (candidates == 0) return 0;
  const __m128 threshold = _mm_set1_ps(high);
  uint32_t strong = 0;
  for (int32_t quarter = 0; quarter < 4; ++quarter) {
    const __m128 m = _mm_loadu_ps(magnitude + c + 4 * quarter);
    strong |= static_cast<uint32_t>(_mm_movemask_ps(_mm_cmpge_ps(m, threshold))) << (4 * quarter);
  }
  return candidates & strong;
#else
  uint32_t bits = 0;
  for (int32_t i = 0; i < kSeedBlock; ++i) {
    if (edges[c + i] == kCandidateCode && magnitude[c + i] >= high) bits |= uint32_t{1} << i;
  }
  return bits;
#endif
}

// The neighbours in the order in which the follow step visits them.
constexpr int32_t kFollowOffsets[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

}  // namespace

void EdgeDetector::applyHysteresis() {
  if (edgePlanesAllocated == 0) return;
  const std::size_t count = gradientMagnitude.size();
  if (count == 0) return;
  const float* magnitude = gradientMagnitude.data();

  const MagnitudeRange range = magnitudeRange(magnitude, count);
  const float min = range.min;
  const float max = range.max;
  const float binWidthDivisor = max - min + 1.0f;
  magnitudeHistogram = magnitudeCounts(magnitude, count, range);
  const float pixelCount = static_cast<float>(count);
  for (float& entry : magnitudeHistogram) entry /= pixelCount;
  for (std::size_t k = 1; k < magnitudeHistogram.size(); ++k) magnitudeHistogram[k] += magnitudeHistogram[k - 1];

  std::memcpy(edgeMap.data(), candidateMap.data(), count);

  // The threshold is the upper end of the first bin whose cumulative share
  // reaches the wanted share. A share that no entry reaches (rounding can keep
  // the last entry just below 1) takes the end of the last bin, above max.
  auto thresholdFor = [&](int32_t position) {
    const float share = static_cast<float>(position * 0.01);
    int32_t k = 0;
    while (k < kLastBin && !(magnitudeHistogram[static_cast<std::size_t>(k)] >= share)) ++k;
    return min + (binWidthDivisor * (static_cast<float>(k) - min + 1.0f)) / 256.0f;
  };
  const float low = thresholdFor(tLow);
  const float high = thresholdFor(tHigh);
  const int32_t lowFloor = truncToInt32(low);

  const int32_t planeRows = edgeMap.rows();
  const int32_t planeCols = edgeMap.cols();
  // Seeds are found a block of columns at a time; a marked column is checked
  // again before it seeds, since following an earlier seed may have accepted it.
  for (int32_t r = 1; r < planeRows - 1; ++r) {
    uint8_t* edges = edgeMap[r];
    const float* m = gradientMagnitude[r];
    int32_t c = 1;
    for (; c + kSeedBlock <= planeCols - 1; c += kSeedBlock) {
      for (uint32_t bits = seedBits(edges, m, c, high); bits != 0; bits &= bits - 1) {
        const int32_t seed = c + std::countr_zero(bits);
        if (edges[seed] != kCandidateCode) continue;
        edges[seed] = kEdgeCode;
        followEdge(r, seed, lowFloor);
      }
    }
    for (; c < planeCols - 1; ++c) {
      if (edges[c] == kCandidateCode && m[c] >= high) {
        edges[c] = kEdgeCode;
        followEdge(r, c, lowFloor);
      }
    }
  }

  uint8_t* edges = edgeMap.data();
  for (std::size_t p = 0; p < count; ++p) {
    edges[p] = edges[p] == kEdgeCode ? kEdgeCode : 0;
  }
}

void EdgeDetector::followEdge(int32_t row, int32_t col, int32_t threshold) {
  if (edgePlanesAllocated == 0) return;
  const float floor = static_cast<float>(threshold);
  const int32_t planeRows = edgeMap.rows();
  const int32_t planeCols = edgeMap.cols();
  const auto stride = static_cast<std::ptrdiff_t>(planeCols);
  std::ptrdiff_t neighbourSteps[8];
  for (int32_t k = 0; k < 8; ++k) neighbourSteps[k] = kFollowOffsets[k][0] * stride + kFollowOffsets[k][1];
  uint8_t* edges = edgeMap.data();
  const float* magnitude = gradientMagnitude.data();
  // Which candidates are accepted does not depend on the order they are
  // reached in, so the walk keeps a plain stack of accepted pixels whose
  // neighbours are still to be seen, without a call stack that grows with the
  // edge length.
  followStack_.clear();
  followStack_.push_back({row, col});
  while (!followStack_.empty()) {
    const FollowPixel pixel = followStack_.back();
    followStack_.pop_back();
    const bool inner = pixel.row > 0 && pixel.row < planeRows - 1 && pixel.col > 0 && pixel.col < planeCols - 1;
    const std::ptrdiff_t here = pixel.row * stride + pixel.col;
    for (int32_t k = 0; k < 8; ++k) {
      const int32_t r = pixel.row + kFollowOffsets[k][0];
      const int32_t c = pixel.col + kFollowOffsets[k][1];
      if (!inner && (r < 0 || r >= planeRows || c < 0 || c >= planeCols)) continue;
      const std::ptrdiff_t neighbour = here + neighbourSteps[k];
      if (edges[neighbour] == kCandidateCode && magnitude[neighbour] >= floor) {
        edges[neighbour] = kEdgeCode;
        followStack_.push_back({r, c});
      }
    }
  }
}

}  // namespace filamorph
