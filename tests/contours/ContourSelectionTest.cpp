#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "contours/ContourCoder.h"

namespace filamorph {
namespace {

struct PointValues {
  int16_t normal;
  int16_t leftContrast;
  int16_t rightContrast;
};

Contour contourOf(const std::vector<PointValues>& pointValues) {
  Contour contour;
  contour.selected = 1;
  contour.pointCount = static_cast<int32_t>(pointValues.size());
  for (const PointValues& layout : pointValues) {
    ContourPoint point;
    point.normal = layout.normal;
    point.leftContrast = layout.leftContrast;
    point.rightContrast = layout.rightContrast;
    contour.points.push_back(point);
  }
  return contour;
}

// Straight contours without contrast: only their lengths tell them apart.
void loadLengths(ContourCoder& coder, const std::vector<int32_t>& lengths) {
  coder.contours.clear();
  int32_t longest = -1;
  for (const int32_t length : lengths) {
    coder.contours.push_back(contourOf(std::vector<PointValues>(static_cast<std::size_t>(length), {2, 0, 0})));
    longest = std::max(longest, length);
  }
  coder.contourCount = static_cast<int32_t>(lengths.size());
  coder.maxContourLength = longest;
  coder.contoursReady = 1;
}

std::vector<int32_t> ranksOf(const ContourCoder& coder) {
  std::vector<int32_t> ranks;
  for (const Contour& contour : coder.contours) ranks.push_back(contour.rank);
  return ranks;
}

std::vector<int32_t> selectedOf(const ContourCoder& coder) {
  std::vector<int32_t> selected;
  for (const Contour& contour : coder.contours) selected.push_back(contour.selected);
  return selected;
}

// Curvature and contrast are zero everywhere, so their normalised weights
// must be 0 rather than a division by zero that would spoil every priority.
TEST(Selection, EqualPrioritiesShareARankAndAreSelectedTogether) {
  struct Case {
    int32_t numberToSelect;
    std::vector<int32_t> selected;
  };
  const Case cases[] = {
      {0, {0, 0, 0, 0, 0}}, {1, {1, 0, 0, 0, 0}}, {3, {1, 1, 1, 1, 0}},
      {5, {1, 1, 1, 1, 1}}, {99, {1, 1, 1, 1, 1}},
  };
  for (const Case& entry : cases) {
    SCOPED_TRACE("number to select " + std::to_string(entry.numberToSelect));
    ContourCoder coder;
    loadLengths(coder, {9, 7, 7, 7, 5});
    coder.selectContours(0.5f, 0.5f, 0.5f, entry.numberToSelect);
    EXPECT_EQ(ranksOf(coder), (std::vector<int32_t>{1, 2, 2, 2, 5}));
    EXPECT_EQ(selectedOf(coder), entry.selected);
    EXPECT_EQ(coder.contours[0].priority, 0.5f);
    EXPECT_EQ(coder.maxMeanContrast, 0);
    EXPECT_EQ(coder.maxMeanCurvature, 0.0f);
  }
}

TEST(Selection, RanksFollowPriorityWhateverTheTableOrder) {
  ContourCoder coder;
  loadLengths(coder, {3, 8, 1, 8, 6, 3});
  coder.selectContours(1.0f, 0.0f, 0.0f, 2);
  EXPECT_EQ(ranksOf(coder), (std::vector<int32_t>{4, 1, 6, 1, 3, 4}));
  EXPECT_EQ(selectedOf(coder), (std::vector<int32_t>{0, 1, 0, 1, 0, 0}));
}

TEST(Selection, Descriptors) {
  ContourCoder coder;
  coder.contours.push_back(contourOf({{0, -3, 4}, {2, -3, 4}, {2, -3, 4}, {6, -3, 4}}));
  coder.contours.push_back(contourOf({{6, -2, 3}}));
  coder.contours.push_back(contourOf({{4, 2, 0}, {4, 0, -2}, {4, 1, 1}, {4, 2, 0}, {4, 0, 6}}));
  coder.contourCount = 3;
  coder.maxContourLength = 5;
  coder.contoursReady = 1;
  coder.selectContours(0.5f, 0.75f, 0.5f, 1);

  const Contour& bent = coder.contours[0];
  EXPECT_EQ(bent.length, 4);
  EXPECT_EQ(bent.meanContrast, 4);          // 3.5 rounds up
  EXPECT_EQ(bent.meanCurvature, 1.5f);      // (2 + 0 + 4) / 4 points, not / 3 steps
  const Contour& single = coder.contours[1];
  EXPECT_EQ(single.meanContrast, 3);        // 2.5 rounds up
  EXPECT_EQ(single.meanCurvature, 0.0f);    // one point: no step at all
  const Contour& straight = coder.contours[2];
  EXPECT_EQ(straight.meanContrast, 1);      // 7 / 5 = 1.4 rounds down
  EXPECT_EQ(straight.meanCurvature, 0.0f);

  EXPECT_EQ(coder.maxMeanContrast, 4);
  EXPECT_EQ(coder.maxMeanCurvature, 1.5f);
  // 0.5 / 5, 0.75 / 1.5 and 0.5 / 4 weigh length, curvature and contrast.
  EXPECT_EQ(bent.priority, 4 * 0.1f + 4 * 0.125f + 0.5f * 1.5f);
  EXPECT_EQ(single.priority, 1 * 0.1f + 3 * 0.125f);
  EXPECT_EQ(straight.priority, 5 * 0.1f + 1 * 0.125f);
  EXPECT_EQ(ranksOf(coder), (std::vector<int32_t>{1, 3, 2}));
  EXPECT_EQ(selectedOf(coder), (std::vector<int32_t>{1, 0, 0}));
}

TEST(Selection, DoesNothingBeforeTracing) {
  ContourCoder coder;
  loadLengths(coder, {4, 2});
  coder.contoursReady = 0;
  coder.selectContours(0.5f, 0.5f, 0.5f, 0);
  EXPECT_EQ(selectedOf(coder), (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(ranksOf(coder), (std::vector<int32_t>{0, 0}));
}

TEST(Selection, NoContoursNoWork) {
  ContourCoder coder;
  coder.contoursReady = 1;
  coder.maxContourLength = -1;
  coder.selectContours(0.5f, 0.5f, 0.5f, 3);
  EXPECT_TRUE(coder.contours.empty());
}

// A NaN priority is not greater than any other, nor any other than it.
TEST(Selection, NanWeightRanksEveryContourFirst) {
  ContourCoder coder;
  loadLengths(coder, {4, 2, 3});
  coder.selectContours(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f, 1);
  EXPECT_EQ(ranksOf(coder), (std::vector<int32_t>{1, 1, 1}));
  EXPECT_EQ(selectedOf(coder), (std::vector<int32_t>{1, 1, 1}));
}

}  // namespace
}  // namespace filamorph
