#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelFixture.h"

namespace filamorph {
namespace {

using testing::Pixel;
using testing::run;

// Distinct levels, none equal to its row neighbour: 10 x row + col.
uint8_t rampLevel(int32_t row, int32_t col) { return static_cast<uint8_t>(10 * row + col); }

struct SamplingCase {
  std::string name;
  int32_t rows;
  int32_t cols;
  std::vector<std::vector<Pixel>> contours;  // the first one is examined
  int32_t pointIndex;
  int16_t leftLength;
  int16_t rightLength;
  std::vector<float> profile;  // farthest on the normal side first
};

std::vector<SamplingCase> samplingCases() {
  return {
      // Running south: the normal side is east. Two samples per side, the
      // east ones reversed in front of the contour pixel.
      {"TwoSamplesEachSide", 7, 7, {run(1, 3, 6, 5)}, 2, 2, 2, {35, 34, 33, 32, 31}},
      // Running north along the left border: the normal side is west, outside.
      {"NormalSideOutsideTheImage", 7, 7, {run(5, 0, 2, 5)}, 2, 0, 2, {30, 31, 32}},
      // A neighbouring contour two columns east: one sample, then the contour
      // pixel ends the side.
      {"ContourPixelEndsTheSide", 7, 7, {run(1, 3, 6, 5), run(1, 5, 6, 5)}, 2, 1, 2, {34, 33, 32, 31}},
      // A contour right beside it: span 1 on that side, and no sample.
      {"AdjacentContourLeavesNoSample", 7, 7, {run(1, 3, 6, 5), run(1, 4, 6, 5)}, 2, 0, 2, {33, 32, 31}},
      // Contour pixels beside both neighbours of the point: the median lowers
      // its limit to 1, though two free pixels lie east of it.
      {"SpanMedianLowersTheLimit", 7, 7, {run(1, 3, 6, 5), {{2, 4}, {4, 4}}}, 2, 1, 2, {34, 33, 32, 31}},
  };
}

class SamplingTest : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(SamplingTest, ProfileHoldsTheSamplesInOrder) {
  const SamplingCase& c = GetParam();
  ContourCoder coder;
  testing::makeImage(coder, c.rows, c.cols, rampLevel);
  for (const auto& pixels : c.contours) testing::addContour(coder, pixels);
  coder.computeNormals();
  coder.measureSpans();
  coder.sampleProfile(0, c.pointIndex);
  const ContourPoint& point = coder.contours[0].points[c.pointIndex];
  EXPECT_EQ(point.leftLength, c.leftLength);
  EXPECT_EQ(point.rightLength, c.rightLength);
  const std::vector<float> profile(coder.profile.begin(),
                                   coder.profile.begin() + point.leftLength + point.rightLength + 1);
  EXPECT_EQ(profile, c.profile);
}

INSTANTIATE_TEST_SUITE_P(Sides, SamplingTest, ::testing::ValuesIn(samplingCases()),
                         [](const auto& info) { return info.param.name; });

TEST(SpanTest, LimitsComeFromTheNeighbouringPixelThroughTheMedian) {
  // A southward contour on the left border: west is outside (0); east lies a
  // contour pixel beside rows 2, 4 and 5 (1) and free pixels elsewhere (2).
  ContourCoder coder;
  testing::makeImage(coder, 7, 5, rampLevel);
  testing::addContour(coder, run(0, 0, 6, 7));
  testing::addContour(coder, {{2, 1}, {4, 1}, {5, 1}});
  coder.computeNormals();
  coder.measureSpans();
  std::vector<int16_t> left;
  std::vector<int16_t> right;
  for (const ContourPoint& point : coder.contours[0].points) {
    left.push_back(point.leftLength);
    right.push_back(point.rightLength);
  }
  // Raw limits east 2 2 1 2 1 1 2: the lone 1 is outvoted, the lone 2
  // between two 1s is lowered.
  EXPECT_EQ(left, (std::vector<int16_t>{2, 2, 2, 1, 1, 1, 2}));
  EXPECT_EQ(right, std::vector<int16_t>(7, 0));
}

TEST(SpanTest, SampleEqualToThePreviousOneEndsTheSide) {
  // A limit beyond the spans' 2 shows the rule: the repeated level is kept,
  // nothing after it is read.
  ContourCoder coder;
  testing::makeImage(coder, 1, 9, [](int32_t, int32_t col) {
    const uint8_t levels[9] = {90, 80, 70, 70, 60, 50, 40, 40, 30};
    return levels[col];
  });
  ContourPoint& point = testing::addContour(coder, {{0, 4}}).points[0];
  point.normal = 4;  // west
  point.leftLength = 4;
  point.rightLength = 4;
  coder.sampleProfile(0, 0);
  EXPECT_EQ(point.leftLength, 2);
  EXPECT_EQ(point.rightLength, 3);
  EXPECT_EQ(std::vector<float>(coder.profile.begin(), coder.profile.begin() + 6),
            (std::vector<float>{70, 70, 60, 50, 40, 40}));
}

}  // namespace
}  // namespace filamorph
