#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelFixture.h"

namespace filamorph {
namespace {

struct ModelPoint {
  int32_t row;
  int32_t col;
  int16_t normal;
  int16_t leftExtent;
  int16_t rightExtent;
  float weightLeft;
  float weightMiddle;
  float weightRight;
  float baseLevel;
};

struct ModelContour {
  uint8_t selected;
  std::vector<ModelPoint> points;
};

struct Written {
  int32_t row;
  int32_t col;
  uint8_t depth;
  bool operator==(const Written&) const = default;
};

struct RenderCase {
  std::string name;
  std::vector<ModelContour> contours;
  std::vector<Written> written;  // in raster order; every other pixel stays 0 in both planes
};

constexpr int32_t kSide = 5;

std::vector<RenderCase> renderCases() {
  return {
      // Normal side east: offsets -2 .. 2 run from column 4 to column 0.
      {"BrightBaseClampsTo255", {{1, {{2, 2, 0, 2, 2, 0, 0, 0, 300}}}},
       {{2, 0, 255}, {2, 1, 255}, {2, 2, 255}, {2, 3, 255}, {2, 4, 255}}},
      {"NegativeBaseWritesZeroButMarks", {{1, {{2, 2, 0, 2, 2, 0, 0, 0, -5}}}},
       {{2, 0, 0}, {2, 1, 0}, {2, 2, 0}, {2, 3, 0}, {2, 4, 0}}},
      // Normal side south: v(t) = 10|t + 2| - 20|t| + 10|t - 2| + 100.7,
      // truncated.
      {"ThreeKnotValuesAreTruncated", {{1, {{2, 2, 6, 2, 2, 10, -20, 10, 100.7f}}}},
       {{0, 2, 100}, {1, 2, 120}, {2, 2, 140}, {3, 2, 120}, {4, 2, 100}}},
      {"BothExtentsZeroWriteOnlyThePoint", {{1, {{1, 3, 2, 0, 0, 0, 0, 0, 77}}}}, {{1, 3, 77}}},
      // Normal side north on the top row: offset -1 lies outside and is
      // skipped; the profile goes on.
      {"OffsetOutsideIsSkipped", {{1, {{0, 2, 2, 1, 1, 0, 0, 0, 40}}}}, {{0, 2, 40}, {1, 2, 40}}},
      // The second contour's profile runs west to east into the first's
      // pixel and ends there: column 3 stays unwritten.
      {"FirstProfileOwnsItsPixels",
       {{1, {{2, 2, 0, 0, 0, 0, 0, 0, 50}}}, {1, {{2, 1, 4, 1, 2, 0, 0, 0, 90}}}},
       {{2, 0, 90}, {2, 1, 90}, {2, 2, 50}}},
      // A horizontal contour profiled vertically, crossed by a vertical one
      // profiled horizontally: the vertical contour's profiles at rows 1 to 3
      // start on owned pixels and write nothing.
      {"CrossingContours",
       {{1, {{2, 1, 2, 1, 1, 0, 0, 0, 10}, {2, 2, 2, 1, 1, 0, 0, 0, 10}, {2, 3, 2, 1, 1, 0, 0, 0, 10}}},
        {1,
         {{0, 2, 0, 1, 1, 0, 0, 0, 20},
          {1, 2, 0, 1, 1, 0, 0, 0, 20},
          {2, 2, 0, 1, 1, 0, 0, 0, 20},
          {3, 2, 0, 1, 1, 0, 0, 0, 20},
          {4, 2, 0, 1, 1, 0, 0, 0, 20}}}},
       {{0, 1, 20}, {0, 2, 20}, {0, 3, 20},
        {1, 1, 10}, {1, 2, 10}, {1, 3, 10},
        {2, 1, 10}, {2, 2, 10}, {2, 3, 10},
        {3, 1, 10}, {3, 2, 10}, {3, 3, 10},
        {4, 1, 20}, {4, 2, 20}, {4, 3, 20}}},
      {"UnselectedContourLeavesNoTrace",
       {{0, {{2, 2, 0, 2, 2, 0, 0, 0, 60}}}, {1, {{4, 4, 0, 0, 0, 0, 0, 0, 70}}}}, {{4, 4, 70}}},
  };
}

class RenderTest : public ::testing::TestWithParam<RenderCase> {};

TEST_P(RenderTest, PlanesHoldExactlyTheOwnedPixels) {
  ContourCoder coder;
  for (const ModelContour& model : GetParam().contours) {
    Contour contour;
    contour.selected = model.selected;
    for (const ModelPoint& p : model.points) {
      ContourPoint point;
      point.row = p.row;
      point.col = p.col;
      point.normal = p.normal;
      point.leftExtent = p.leftExtent;
      point.rightExtent = p.rightExtent;
      point.weightLeft = p.weightLeft;
      point.weightMiddle = p.weightMiddle;
      point.weightRight = p.weightRight;
      point.baseLevel = p.baseLevel;
      contour.points.push_back(point);
    }
    contour.pointCount = static_cast<int32_t>(contour.points.size());
    coder.contours.push_back(contour);
  }
  coder.contourCount = static_cast<int32_t>(coder.contours.size());
  Plane<uint8_t> sparseness;
  Plane<uint8_t> depth;
  sparseness.allocate(kSide, kSide, true);
  depth.allocate(kSide, kSide, true);

  coder.renderModel(sparseness, depth);

  std::vector<Written> written;
  for (int32_t r = 0; r < kSide; ++r) {
    for (int32_t c = 0; c < kSide; ++c) {
      if (sparseness[r][c] != 0) {
        EXPECT_EQ(sparseness[r][c], 255) << "row " << r << " col " << c;
        written.push_back({r, c, depth[r][c]});
      } else {
        EXPECT_EQ(depth[r][c], 0) << "row " << r << " col " << c;
      }
    }
  }
  EXPECT_EQ(written, GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Profiles, RenderTest, ::testing::ValuesIn(renderCases()),
                         [](const auto& info) { return info.param.name; });

TEST(RenderModelTest, WithoutPlanesTouchesNothing) {
  ContourCoder coder;
  testing::addContour(coder, {{0, 0}, {0, 1}});
  Plane<uint8_t> sparseness;
  Plane<uint8_t> depth;
  coder.renderModel(sparseness, depth);
  EXPECT_FALSE(sparseness.exists());
  EXPECT_FALSE(depth.exists());
}

}  // namespace
}  // namespace filamorph
