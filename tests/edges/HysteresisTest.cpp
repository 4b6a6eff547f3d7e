#include <gtest/gtest.h>

#include "EdgeTestSupport.h"
#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

using testing::nonZeroPositions;
using testing::PositionSet;

// Magnitude and candidate planes set by hand; everything else 0.
void prepare(EdgeDetector& detector, int32_t rows, int32_t cols) {
  detector.width = detector.cols = cols;
  detector.height = detector.rows = rows;
  detector.gradientMagnitude.allocate(rows, cols, true);
  detector.candidateMap.allocate(rows, cols, true);
  detector.edgeMap.allocate(rows, cols);
  detector.edgePlanesAllocated = 1;
}

void setCandidate(EdgeDetector& detector, int32_t r, int32_t c, float magnitude) {
  detector.gradientMagnitude[r][c] = magnitude;
  detector.candidateMap[r][c] = 128;
}

// 100 pixels, max 997.4: at least 70 % lie in bin 0, which ends at
// (997.4 + 1) / 256 = 3.9, so both shares below give the thresholds 3.9.
void prepareChain(EdgeDetector& detector) {
  prepare(detector, 10, 10);
  setCandidate(detector, 5, 1, 997.4f);  // the only seed
  setCandidate(detector, 5, 2, 3.0f);    // reaches the truncated low threshold 3
  setCandidate(detector, 5, 3, 3.0f);
  setCandidate(detector, 4, 4, 3.2f);    // joined diagonally
  setCandidate(detector, 5, 4, 2.99f);   // too weak
  setCandidate(detector, 5, 5, 2.99f);
  setCandidate(detector, 5, 6, 3.5f);    // strong enough, but joined only through weak ones
  detector.gradientMagnitude[6][3] = 50.0f;  // strong, but no candidate
}

TEST(Hysteresis, GrowsFromSeedsThroughCandidatesAboveTruncatedLowThreshold) {
  EdgeDetector detector;
  prepareChain(detector);
  detector.setThresholds(70, 90);
  detector.applyHysteresis();
  EXPECT_EQ(nonZeroPositions(detector.edgeMap), (PositionSet{{5, 1}, {5, 2}, {5, 3}, {4, 4}}));
  for (uint8_t value : testing::contents(detector.edgeMap)) EXPECT_TRUE(value == 0 || value == 250);
  EXPECT_EQ(detector.magnitudeHistogram[256], detector.magnitudeHistogram[255]);
  EXPECT_FLOAT_EQ(detector.magnitudeHistogram[0], 0.98f);  // all but the seed and the 50
}

TEST(Hysteresis, FullShareAcceptsNothing) {
  // The high threshold lies above max whether or not the scan reaches a bin.
  EdgeDetector detector;
  prepareChain(detector);
  detector.setThresholds(70, 100);
  detector.applyHysteresis();
  EXPECT_EQ(nonZeroPositions(detector.edgeMap), PositionSet{});
}

TEST(Hysteresis, LeavesCandidatesUnchanged) {
  EdgeDetector detector;
  prepareChain(detector);
  const std::vector<uint8_t> before = testing::contents(detector.candidateMap);
  detector.setThresholds(70, 90);
  detector.applyHysteresis();
  EXPECT_EQ(testing::contents(detector.candidateMap), before);
}

TEST(Hysteresis, FollowsAnEdgeAsLongAsTheImage) {
  // Marking a chain as long as the image must not depend on the call stack.
  constexpr int32_t kCols = 200000;
  EdgeDetector detector;
  prepare(detector, 3, kCols);
  for (int32_t c = 1; c < kCols - 1; ++c) setCandidate(detector, 1, c, 10.0f);
  detector.gradientMagnitude[1][1] = 20.0f;
  // Bin 0 holds the two border rows; the chain's bin reaches 99 %, so the
  // high threshold ends just above 10 and (1, 1) is the only seed.
  detector.setThresholds(0, 99);
  detector.applyHysteresis();
  std::size_t accepted = 0;
  for (int32_t c = 0; c < kCols; ++c) accepted += detector.edgeMap[1][c] == 250 ? 1 : 0;
  EXPECT_EQ(accepted, static_cast<std::size_t>(kCols - 2));
}

TEST(Hysteresis, FollowStepStaysInsideTheImage) {
  EdgeDetector detector;
  prepare(detector, 3, 3);
  detector.edgeMap[0][0] = 250;
  detector.candidateMap[0][1] = 128;
  detector.edgeMap[0][1] = 128;
  detector.gradientMagnitude[0][1] = 5.0f;
  detector.followEdge(0, 0, 1);
  EXPECT_EQ(detector.edgeMap[0][1], 250);
}

}  // namespace
}  // namespace filamorph
