// Hysteresis with thresholds read off the distribution of the gradient magnitude.
#include <cmath>
#include <cstring>

#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

constexpr uint8_t kEdge = 250;
constexpr uint8_t kCandidate = 128;
constexpr int32_t kLastBin = 256;

// Histogram bin of a scaled magnitude. In float the quotient can reach 256
// exactly (max absorbs the + 1 once it is large), which the 257th entry
// holds; a NaN counts in bin 0.
int32_t binOf(float scaled) {
  if (scaled >= static_cast<float>(kLastBin)) return kLastBin;
  if (scaled > 0.0f) return static_cast<int32_t>(scaled);
  return 0;
}

// Truncation toward zero that stays defined for any float: NaN gives 0 and
// values beyond the range of int32 saturate.
int32_t truncToInt32(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return INT32_MAX;
  if (value <= -2147483648.0f) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The neighbours in the order in which the follow step visits them.
constexpr int32_t kFollowOffsets[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

}  // namespace

void EdgeDetector::applyHysteresis() {
  if (edgePlanesAllocated == 0) return;
  const std::size_t count = gradientMagnitude.size();
  if (count == 0) return;
  const float* magnitude = gradientMagnitude.data();

  float min = 255.0f;
  float max = 0.0f;
  for (std::size_t p = 0; p < count; ++p) {
    const float v = magnitude[p];
    if (v < min) min = v;
    if (v > max) max = v;
  }

  magnitudeHistogram.fill(0.0f);
  const float binWidthDivisor = max - min + 1.0f;
  for (std::size_t p = 0; p < count; ++p) {
    magnitudeHistogram[static_cast<std::size_t>(binOf(((magnitude[p] - min) * 256.0f) / binWidthDivisor))] += 1.0f;
  }
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
  for (int32_t r = 1; r < planeRows - 1; ++r) {
    uint8_t* edges = edgeMap[r];
    const float* m = gradientMagnitude[r];
    for (int32_t c = 1; c < planeCols - 1; ++c) {
      if (edges[c] == kCandidate && m[c] >= high) {
        edges[c] = kEdge;
        followEdge(r, c, lowFloor);
      }
    }
  }

  uint8_t* edges = edgeMap.data();
  for (std::size_t p = 0; p < count; ++p) {
    if (edges[p] != kEdge) edges[p] = 0;
  }
}

void EdgeDetector::followEdge(int32_t row, int32_t col, int32_t threshold) {
  if (edgePlanesAllocated == 0) return;
  const float floor = static_cast<float>(threshold);
  const int32_t planeRows = edgeMap.rows();
  const int32_t planeCols = edgeMap.cols();
  // An explicit stack of (row, column, next neighbour) frames replays the
  // depth-first walk without a call stack that grows with the edge length.
  followStack_.clear();
  followStack_.push_back({row, col, 0});
  while (!followStack_.empty()) {
    FollowFrame& frame = followStack_.back();
    if (frame.nextNeighbour == 8) {
      followStack_.pop_back();
      continue;
    }
    const int32_t r = frame.row + kFollowOffsets[frame.nextNeighbour][0];
    const int32_t c = frame.col + kFollowOffsets[frame.nextNeighbour][1];
    ++frame.nextNeighbour;
    if (r < 0 || r >= planeRows || c < 0 || c >= planeCols) continue;
    if (edgeMap[r][c] == kCandidate && gradientMagnitude[r][c] >= floor) {
      edgeMap[r][c] = kEdge;
      followStack_.push_back({r, c, 0});
    }
  }
}

}  // namespace filamorph
