#include "edges/FilterKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

// Agreement to six significant figures.
void expectSixFigures(double actual, double expected) {
  const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(expected))) - 5);
  EXPECT_NEAR(actual, expected, 0.5 * unit) << "expected " << expected;
}

void setFilter(EdgeDetector& detector, float lambda, float tau, int32_t n) {
  detector.setLambda(lambda);
  detector.setTau(tau);
  detector.setFilterLength(n);
}

TEST(FilterKernels, DefaultParametersGiveTwoExponentials) {
  const FilterConstants k = filterConstants(1.0f, 0.1f);
  ASSERT_EQ(k.filterCase, FilterCase::TwoExponentials);
  expectSixFigures(k.d, 0.1);
  expectSixFigures(k.b, 0.9);
  expectSixFigures(k.discriminant, 0.41);
  expectSixFigures(k.r1, 1.96234);
  expectSixFigures(k.r2, 0.805741);
  expectSixFigures(k.c, 0.312348);

  EdgeDetector detector;
  setFilter(detector, 1.0f, 0.1f, 5);
  detector.buildSmoothingKernel();
  ASSERT_EQ(detector.kernelRows, 11);
  ASSERT_EQ(detector.kernelCols, 11);
  EXPECT_EQ(detector.kernelRowHalf, 5);
  EXPECT_EQ(detector.kernelColHalf, 5);
  expectSixFigures(detector.kernel[5][5], 0.361261);
  expectSixFigures(detector.kernel[5][6], 0.238464);
  expectSixFigures(detector.kernel[6][6], 0.117366);
  // The scale is the reciprocal of the tap sum (3.65670 to six figures, cut
  // off), so smoothing keeps the mean gray level.
  float sum = 0.0f;
  for (int32_t r = 0; r < 11; ++r)
    for (int32_t c = 0; c < 11; ++c) sum += detector.kernel[r][c];
  EXPECT_NEAR(sum, 3.65670, 1e-5);
  EXPECT_EQ(detector.kernelScale, 1.0f / sum);

  detector.buildVerticalDerivativeKernel();
  EXPECT_EQ(detector.kernelScale, 1.0f);
  expectSixFigures(detector.kernel[6][5], -0.151235);  // (j, i) = (1, 0)
  expectSixFigures(detector.kernel[4][5], 0.151235);   // (-1, 0)
}

TEST(FilterKernels, TauPointEightGivesDampedOscillation) {
  const FilterConstants k = filterConstants(1.0f, 0.8f);
  ASSERT_EQ(k.filterCase, FilterCase::DampedOscillation);
  expectSixFigures(k.b, 0.2);
  expectSixFigures(k.d, 0.8);
  expectSixFigures(k.discriminant, -3.16);
  expectSixFigures(k.theta, 0.729379);
  expectSixFigures(k.F, 10.9265);
  expectSixFigures(k.w, 0.498255);
  expectSixFigures(k.alpha, 0.557457);

  EdgeDetector detector;
  setFilter(detector, 1.0f, 0.8f, 3);
  detector.buildSmoothingKernel();
  expectSixFigures(detector.kernel[3][3], 8.14667);
  expectSixFigures(detector.kernel[3][4], 6.09082);
  detector.buildVerticalDerivativeKernel();
  expectSixFigures(detector.kernel[4][3], 1.36181);  // opposite sign to the default filter
}

TEST(FilterKernels, CaseSelection) {
  for (float lambda : {0.5f, 1.0f, 3.0f}) EXPECT_EQ(filterConstants(lambda, 0.0f).filterCase, FilterCase::SingleExponential);
  EXPECT_EQ(filterConstants(8.0f, 0.5f).filterCase, FilterCase::DoubleRoot);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(filterConstants(nan, 0.1f).filterCase, FilterCase::Undefined);
  EXPECT_EQ(filterConstants(1.0f, nan).filterCase, FilterCase::Undefined);
}

TEST(FilterKernels, SingleExponentialTaps) {
  // tau = 0: a = 1 / sqrt(2 lambda); S = exp(-a s) / (2 lambda).
  EdgeDetector detector;
  setFilter(detector, 2.0f, 0.0f, 2);
  detector.buildSmoothingKernel();
  EXPECT_FLOAT_EQ(detector.kernel[2][2], 0.25f);
  EXPECT_FLOAT_EQ(detector.kernel[3][4], static_cast<float>(0.25 * std::exp(-1.5)));
  detector.buildVerticalDerivativeKernel();
  EXPECT_FLOAT_EQ(detector.kernel[3][2], static_cast<float>(-0.5 / (2.0 * 2.0) * std::exp(-0.5)));
  EXPECT_EQ(detector.kernel[2][0], 0.0f);
}

TEST(FilterKernels, DoubleRootTaps) {
  // lambda 8, tau 0.5: b = d = 4, so b^2 - 4d is exactly 0 and m = 1/2.
  EdgeDetector detector;
  setFilter(detector, 8.0f, 0.5f, 2);
  detector.buildSmoothingKernel();
  EXPECT_FLOAT_EQ(detector.kernel[2][2], 0.0625f);
  EXPECT_FLOAT_EQ(detector.kernel[3][4], static_cast<float>(0.0625 * 1.25 * 1.5 * std::exp(-1.5)));
  detector.buildVerticalDerivativeKernel();
  EXPECT_FLOAT_EQ(detector.kernel[4][3], static_cast<float>(-1.0 / 64 * 2 * 1.5 * std::exp(-1.5)));
  EXPECT_EQ(detector.kernel[0][3], -detector.kernel[4][3]);
}

TEST(FilterKernels, DerivativeKernelsAreAntisymmetricTransposes) {
  for (float tau : {0.0f, 0.1f, 0.5f, 0.8f}) {
    SCOPED_TRACE(tau);
    EdgeDetector detector;
  setFilter(detector, 1.0f, tau, 4);
    detector.buildVerticalDerivativeKernel();
    Plane<float> vertical;
    vertical.allocate(9, 9);
    for (int32_t r = 0; r < 9; ++r)
      for (int32_t c = 0; c < 9; ++c) vertical[r][c] = detector.kernel[r][c];
    detector.buildHorizontalDerivativeKernel();
    for (int32_t r = 0; r < 9; ++r) {
      EXPECT_EQ(vertical[4][r], 0.0f);
      for (int32_t c = 0; c < 9; ++c) {
        EXPECT_EQ(detector.kernel[r][c], vertical[c][r]);
        EXPECT_EQ(vertical[r][c], -vertical[8 - r][c]);
        EXPECT_EQ(vertical[r][c], vertical[r][8 - c]);
      }
    }
  }
}

TEST(FilterKernels, HalfLengthZeroGivesOneTap) {
  EdgeDetector detector;
  setFilter(detector, 1.0f, 0.1f, 0);
  detector.buildVerticalDerivativeKernel();
  ASSERT_EQ(detector.kernelRows, 1);
  EXPECT_EQ(detector.kernel[0][0], 0.0f);
  detector.buildHorizontalDerivativeKernel();
  EXPECT_EQ(detector.kernel[0][0], 0.0f);
  detector.buildSmoothingKernel();
  ASSERT_EQ(detector.kernelCols, 1);
  expectSixFigures(detector.kernel[0][0], 0.361261);
  EXPECT_EQ(detector.kernelScale, 1.0f / detector.kernel[0][0]);
}

TEST(FilterKernels, NegativeHalfLengthGivesEmptyKernel) {
  // Down to the most negative length: no taps, and smoothing changes nothing.
  for (int32_t n : {-1, std::numeric_limits<int32_t>::min()}) {
    SCOPED_TRACE(n);
    EdgeDetector detector;
    detector.width = detector.cols = 4;
    detector.height = detector.rows = 3;
    detector.grayPlane.allocate(3, 4);
    for (int32_t p = 0; p < 12; ++p) detector.grayPlane.data()[p] = static_cast<uint8_t>(20 * p);
    setFilter(detector, 1.0f, 0.1f, n);
    detector.buildVerticalDerivativeKernel();
    EXPECT_LT(detector.kernelRows, 1);
    EXPECT_EQ(detector.kernel.size(), 0u);
    detector.buildHorizontalDerivativeKernel();
    EXPECT_EQ(detector.kernel.size(), 0u);
    detector.smoothGrayPlane();
    EXPECT_LT(detector.kernelCols, 1);
    for (int32_t p = 0; p < 12; ++p) EXPECT_EQ(detector.grayPlane.data()[p], 20 * p);
  }
}

TEST(FilterKernels, UndefinedParametersGiveZeroTaps) {
  EdgeDetector detector;
  setFilter(detector, std::numeric_limits<float>::quiet_NaN(), 0.1f, 1);
  detector.buildVerticalDerivativeKernel();
  for (int32_t r = 0; r < 3; ++r)
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(detector.kernel[r][c], 0.0f);
}

}  // namespace
}  // namespace filamorph
