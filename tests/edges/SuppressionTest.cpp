#include <gtest/gtest.h>

#include <cmath>

#include "EdgeTestSupport.h"
#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

using testing::nonZeroPositions;
using testing::PositionSet;
using testing::setDefaultParameters;
using testing::setGray;

// A detector whose gradient planes of size x size are set by hand, all 0.
void prepareGradients(EdgeDetector& detector, int32_t size) {
  setGray(detector, size, size, [](int32_t, int32_t) { return uint8_t{0}; });
  detector.gradientX.allocate(size, size, true);
  detector.gradientY.allocate(size, size, true);
  detector.gradientMagnitude.allocate(size, size);
  detector.candidateMap.allocate(size, size);
  detector.edgeMap.allocate(size, size);
  detector.edgePlanesAllocated = 1;
}

TEST(NonMaximumSuppression, VerticalStepKeepsLeftOfTheTwoPeakColumns) {
  EdgeDetector detector;
  setGray(detector, 20, 24, [](int32_t, int32_t c) { return static_cast<uint8_t>(c < 12 ? 40 : 200); });
  setDefaultParameters(detector);
  detector.detectEdges();
  for (int32_t r = 5; r <= 14; ++r) {
    EXPECT_GT(std::trunc(detector.gradientX[r][11]), 0.0f);
    EXPECT_EQ(std::trunc(detector.gradientY[r][11]), 0.0f);
    EXPECT_EQ(detector.gradientMagnitude[r][11], detector.gradientMagnitude[r][12]);
    for (int32_t c = 1; c < 23; ++c) EXPECT_EQ(detector.candidateMap[r][c], c == 11 ? 128 : 0) << r << "," << c;
  }
}

TEST(NonMaximumSuppression, MagnitudeBelowOneIsNeverACandidate) {
  for (float peak : {0.99f, 1.0f}) {
    EdgeDetector detector;
    prepareGradients(detector, 5);
    detector.gradientX[2][2] = peak;
    detector.suppressNonMaxima();
    const PositionSet expected = peak < 1.0f ? PositionSet{} : PositionSet{{2, 2}};
    EXPECT_EQ(nonZeroPositions(detector.candidateMap), expected);
  }
}

TEST(NonMaximumSuppression, EqualTruncatedComponentsUseTheHorizontalNeighbours) {
  // gx = 5.9 and gy = 5.1 both truncate to 5: the mostly-horizontal case
  // applies and interpolates between the right neighbour (100) and the
  // lower-right one (0), giving 13.6 above the middle's 7.8. The vertical case
  // would not look at the right neighbour and accept the pixel.
  EdgeDetector detector;
  prepareGradients(detector, 5);
  detector.gradientX[2][2] = 5.9f;
  detector.gradientY[2][2] = 5.1f;
  detector.gradientX[2][3] = 100.0f;
  detector.suppressNonMaxima();
  EXPECT_EQ(detector.candidateMap[2][2], 0);
}

TEST(NonMaximumSuppression, InterpolatesForwardInTheMostlyHorizontalOctant) {
  // gx = 4, gy = 2: half-way between the right neighbour (4) and the
  // lower-right one (9) the magnitude is 6.5, above the middle's 4.47, so the
  // middle is no maximum. Extrapolating past the right neighbour instead
  // (4 + (4 - 9) / 2) would wrongly accept it.
  EdgeDetector detector;
  prepareGradients(detector, 5);
  detector.gradientX[2][2] = 4.0f;
  detector.gradientY[2][2] = 2.0f;
  detector.gradientX[2][3] = 4.0f;
  detector.gradientX[3][3] = 9.0f;
  detector.suppressNonMaxima();
  EXPECT_EQ(detector.candidateMap[2][2], 0);
}

TEST(NonMaximumSuppression, BorderOfDerivativesIsCleared) {
  EdgeDetector detector;
  prepareGradients(detector, 4);
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 4; ++c) detector.gradientX[r][c] = detector.gradientY[r][c] = 9.0f;
  detector.suppressNonMaxima();
  for (int32_t r = 0; r < 4; ++r) {
    for (int32_t c = 0; c < 4; ++c) {
      const bool border = r == 0 || r == 3 || c == 0 || c == 3;
      EXPECT_EQ(detector.gradientMagnitude[r][c], border ? 0.0f : std::sqrt(162.0f));
    }
  }
}

TEST(NonMaximumSuppression, ConstantImagesGiveNoCandidates) {
  // Black gives exactly zero derivatives; other levels only rounding residues.
  for (uint8_t level : {uint8_t{0}, uint8_t{128}, uint8_t{255}}) {
    EdgeDetector detector;
    setGray(detector, 16, 16, [level](int32_t, int32_t) { return level; });
    setDefaultParameters(detector);
    detector.detectEdges();
    EXPECT_EQ(nonZeroPositions(detector.candidateMap), PositionSet{});
    EXPECT_EQ(nonZeroPositions(detector.edgeMap), PositionSet{});
    for (int32_t r = 0; r < 16; ++r) {
      for (int32_t c = 0; c < 16; ++c) {
        if (level == 0) {
          EXPECT_EQ(detector.gradientMagnitude[r][c], 0.0f);
        } else {
          EXPECT_LT(detector.gradientMagnitude[r][c], 1e-3f);
        }
      }
    }
  }
}

}  // namespace
}  // namespace filamorph
