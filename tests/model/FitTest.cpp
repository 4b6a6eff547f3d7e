#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "ModelFixture.h"
#include "commands/CommandParameters.h"
#include "model/ProfileModel.h"

namespace filamorph {
namespace {

using testing::run;

struct LinearCase {
  std::string name;
  int32_t size;
  std::vector<std::vector<float>> matrix;
  std::vector<float> rightHandSide;
  std::vector<float> solution;
};

std::vector<LinearCase> linearCases() {
  return {
      {"TwoByTwo", 2, {{2, 1}, {4, 5}}, {4, 14}, {1, 2}},
      {"ThreeByThree", 3, {{1, 1, 1}, {0, 2, 5}, {2, 5, -1}}, {6, -4, 27}, {5, 3, -2}},
      // No pivoting: a zero pivot eliminates nothing and its unknown is 0,
      // where a pivoting solver would find (1, 2).
      {"ZeroPivotIsNotSwapped", 2, {{0, 1}, {1, 1}}, {2, 3}, {0, 3}},
      // Only the first rows and columns take part.
      {"SizeOneIgnoresTheRest", 1, {{4, 9}, {9, 9}}, {10, 9}, {2.5f}},
  };
}

class SolveLinearTest : public ::testing::TestWithParam<LinearCase> {};

TEST_P(SolveLinearTest, FindsTheSolution) {
  const LinearCase& c = GetParam();
  ContourCoder coder;
  for (std::size_t r = 0; r < c.matrix.size(); ++r) {
    std::copy(c.matrix[r].begin(), c.matrix[r].end(), coder.system[r].begin());
    coder.rightHandSide[r] = c.rightHandSide[r];
  }
  coder.solveLinear(c.size);
  EXPECT_EQ(std::vector<float>(coder.solution.begin(), coder.solution.begin() + c.size), c.solution);
}

INSTANTIATE_TEST_SUITE_P(Systems, SolveLinearTest, ::testing::ValuesIn(linearCases()),
                         [](const auto& info) { return info.param.name; });

// One point whose profile is levels, east of the point farthest first: a row
// of a single-row image with the contour pixel in the middle column.
ContourPoint& fitRow(ContourCoder& coder, const std::vector<uint8_t>& levels) {
  const int32_t middle = static_cast<int32_t>(levels.size() / 2);
  testing::makeImage(coder, 1, static_cast<int32_t>(levels.size()),
                     [&](int32_t, int32_t col) { return levels[levels.size() - 1 - col]; });
  ContourPoint& point = testing::addContour(coder, {{0, middle}}).points[0];
  point.normal = 0;
  point.leftLength = static_cast<int16_t>(middle);
  point.rightLength = static_cast<int16_t>(middle);
  coder.profileLambda = kProfileLambda;
  coder.sampleProfile(0, 0);
  coder.fitProfile(0, 0);
  return point;
}

struct KnotCase {
  std::vector<uint8_t> profile;
  std::size_t bestPair;  // in the order (0, 3), (0, 4), (1, 3), (1, 4)
  int16_t leftExtent;
  int16_t rightExtent;
};

class KnotPairTest : public ::testing::TestWithParam<KnotCase> {};

TEST_P(KnotPairTest, BestPairHasTheLeastErrorAndGivesTheExtents) {
  ContourCoder coder;
  const ContourPoint& point = fitRow(coder, GetParam().profile);
  ASSERT_EQ(point.leftLength, 2);
  ASSERT_EQ(point.rightLength, 2);
  const auto errors = coder.pairErrors.begin();
  EXPECT_EQ(std::min_element(errors, errors + 4) - errors, static_cast<std::ptrdiff_t>(GetParam().bestPair));
  EXPECT_EQ(point.leftExtent, GetParam().leftExtent);
  EXPECT_EQ(point.rightExtent, GetParam().rightExtent);
}

INSTANTIATE_TEST_SUITE_P(Ramps, KnotPairTest,
                         ::testing::Values(KnotCase{{0, 50, 100, 200, 200}, 0, 2, 1},
                                           KnotCase{{0, 50, 100, 150, 200}, 1, 2, 2},
                                           KnotCase{{0, 0, 100, 200, 200}, 2, 1, 1},
                                           KnotCase{{0, 0, 100, 150, 200}, 3, 1, 2}));

TEST(FitTest, EqualErrorsGoToTheLastPairTried) {
  // A black profile fits every pair exactly: (1, 4), the last, wins.
  ContourCoder coder;
  const ContourPoint& point = fitRow(coder, {0, 0, 0, 0, 0});
  EXPECT_EQ(std::vector<float>(coder.pairErrors.begin(), coder.pairErrors.begin() + 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(point.leftExtent, 1);
  EXPECT_EQ(point.rightExtent, 2);
}

// Knot pairs are fitted several at a time: every pair's error must be that of
// the pair solved alone with solveLinear and scored in index order. Three
// samples a side give nine pairs, more than one group and a partial last one.
TEST(FitTest, EveryPairMatchesItsFitAlone) {
  ContourCoder coder;
  fitRow(coder, {12, 40, 35, 90, 160, 150, 230});
  const int32_t middle = 3;
  const int32_t count = 7;
  for (int32_t pair = 0; pair < 9; ++pair) {
    const int32_t knots[3] = {pair / 3, middle, middle + 1 + pair % 3};
    for (int32_t r = 0; r < 3; ++r) {
      for (int32_t c = 0; c < 3; ++c)
        coder.system[r][c] = r == c ? kProfileLambda : static_cast<float>(std::abs(knots[r] - knots[c]));
      coder.system[r][3] = 1.0f;
      coder.rightHandSide[r] = coder.profile[static_cast<std::size_t>(knots[r])];
    }
    coder.system[3] = {1.0f, 1.0f, 1.0f, 0.0f};
    coder.rightHandSide[3] = 0.0f;
    coder.solveLinear(4);
    const ProfileWeights weights{coder.solution[0], coder.solution[1], coder.solution[2], coder.solution[3]};
    float sum = 0.0f;
    for (int32_t k = 0; k < count; ++k) {
      const float difference =
          coder.profile[static_cast<std::size_t>(k)] - profileModelValue(weights, k - knots[0], k - middle, k - knots[2]);
      sum = sum + difference * difference;
    }
    EXPECT_EQ(coder.pairErrors[static_cast<std::size_t>(pair)], sum / static_cast<float>(count)) << "pair " << pair;
  }
}

// Solves the fit's system for one knot pair in double precision, with
// partial pivoting, as an independent reference.
std::array<double, 4> referenceWeights(const std::vector<float>& profile, int32_t leftKnot, int32_t middle,
                                       int32_t rightKnot, double lambda) {
  const int32_t knots[3] = {leftKnot, middle, rightKnot};
  double a[4][5] = {};
  for (int32_t r = 0; r < 3; ++r) {
    for (int32_t c = 0; c < 3; ++c) a[r][c] = r == c ? lambda : std::abs(knots[r] - knots[c]);
    a[r][3] = 1.0;
    a[r][4] = profile[knots[r]];
  }
  a[3][0] = a[3][1] = a[3][2] = 1.0;
  for (int32_t i = 0; i < 4; ++i) {
    int32_t pivot = i;
    for (int32_t r = i + 1; r < 4; ++r) {
      if (std::abs(a[r][i]) > std::abs(a[pivot][i])) pivot = r;
    }
    std::swap(a[i], a[pivot]);
    for (int32_t r = 0; r < 4; ++r) {
      if (r == i) continue;
      const double factor = a[r][i] / a[i][i];
      for (int32_t c = i; c < 5; ++c) a[r][c] -= factor * a[i][c];
    }
  }
  return {a[0][4] / a[0][0], a[1][4] / a[1][1], a[2][4] / a[2][2], a[3][4] / a[3][3]};
}

TEST(FitTest, WeightsAndContrastsMatchTheBestPairsModel) {
  ContourCoder coder;
  const ContourPoint& point = fitRow(coder, {20, 30, 120, 220, 230});
  const std::vector<float> profile(coder.profile.begin(), coder.profile.begin() + 5);
  const int32_t leftKnot = 2 - point.leftExtent;
  const int32_t rightKnot = 2 + point.rightExtent;
  const std::array<double, 4> expected = referenceWeights(profile, leftKnot, 2, rightKnot, 0.1);
  EXPECT_NEAR(point.weightLeft, expected[0], 1e-3);
  EXPECT_NEAR(point.weightMiddle, expected[1], 1e-3);
  EXPECT_NEAR(point.weightRight, expected[2], 1e-3);
  EXPECT_NEAR(point.baseLevel, expected[3], 1e-2);
  // Contrasts: the contour pixel's level minus the model at each outer knot.
  auto model = [&](int32_t k) {
    return expected[0] * std::abs(k - leftKnot) + expected[1] * std::abs(k - 2) +
           expected[2] * std::abs(k - rightKnot) + expected[3];
  };
  EXPECT_EQ(point.leftContrast, 120 - static_cast<int32_t>(model(leftKnot)));
  EXPECT_EQ(point.rightContrast, 120 - static_cast<int32_t>(model(rightKnot)));
}

struct EmptySideCase {
  std::string name;
  int32_t rows;
  int32_t contourRow;
  int16_t leftLength;
  int16_t rightLength;
  std::vector<float> fittedProfile;
  int16_t leftProfileLength;
  int16_t rightProfileLength;
  int16_t leftExtent;
  int16_t rightExtent;
};

class EmptySideTest : public ::testing::TestWithParam<EmptySideCase> {};

// An eastward contour (normal side north) in a column of levels 10, 20, ...:
// a side cut off by the border is fitted with the contour pixel's level as
// its one stand-in sample, and keeps its real count of 0.
TEST_P(EmptySideTest, StandInSampleTakesTheContourLevel) {
  const EmptySideCase& c = GetParam();
  ContourCoder coder;
  testing::makeImage(coder, c.rows, 3, [](int32_t row, int32_t) { return static_cast<uint8_t>(10 * (row + 1)); });
  testing::addContour(coder, run(c.contourRow, 0, 0, 3));
  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
  coder.buildModel();
  const ContourPoint& point = coder.contours[0].points[2];
  EXPECT_EQ(point.leftLength, c.leftLength);
  EXPECT_EQ(point.rightLength, c.rightLength);
  EXPECT_EQ(coder.leftProfileLength, c.leftProfileLength);
  EXPECT_EQ(coder.rightProfileLength, c.rightProfileLength);
  EXPECT_EQ(std::vector<float>(coder.profile.begin(), coder.profile.begin() + c.fittedProfile.size()), c.fittedProfile);
  // The stand-in puts the knot of an empty side one pixel out.
  EXPECT_EQ(point.leftExtent, c.leftExtent);
  EXPECT_EQ(point.rightExtent, c.rightExtent);
}

INSTANTIATE_TEST_SUITE_P(Borders, EmptySideTest,
                         ::testing::Values(EmptySideCase{"TopRow", 3, 0, 0, 2, {10, 10, 20, 30}, 1, 2, 1, 2},
                                           EmptySideCase{"BottomRow", 3, 2, 2, 0, {10, 20, 30, 30}, 2, 1, 2, 1},
                                           EmptySideCase{"SingleRow", 1, 0, 0, 0, {10, 10, 10}, 1, 1, 1, 1}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace filamorph
