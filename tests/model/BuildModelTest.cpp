#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "ModelFixture.h"
#include "base/WorkThreads.h"
#include "commands/CommandParameters.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {
namespace {

using testing::run;

// A vertical step from 50 (west) to 200 (east) with 125 on the contour
// column between them.
uint8_t stepLevel(int32_t, int32_t col) {
  return col < 4 ? 50 : col == 4 ? 125 : 200;
}

TEST(BuildModelTest, StepEdgeIsModelledAndLaidBackAcrossTheContour) {
  ContourCoder coder;
  testing::makeImage(coder, 9, 9, stepLevel);
  testing::addContour(coder, run(0, 4, 6, 9));
  coder.contours[0].selected = 0;  // model building ignores the selection
  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
  coder.buildModel();

  for (const ContourPoint& point : coder.contours[0].points) {
    EXPECT_EQ(point.normal, 0);
    EXPECT_EQ(point.leftLength, 2);
    EXPECT_EQ(point.rightLength, 2);
    // Flat on both sides of the one-pixel ramp: the knots sit right beside
    // the contour pixel.
    EXPECT_EQ(point.leftExtent, 1);
    EXPECT_EQ(point.rightExtent, 1);
    // The fit misses each knot's sample by profileLambda times its weight.
    EXPECT_NEAR(point.leftContrast, 125 - (200 - 0.1f * point.weightLeft), 1.0f);
    EXPECT_NEAR(point.rightContrast, 125 - (50 - 0.1f * point.weightRight), 1.0f);
    EXPECT_LT(point.leftContrast, -60);
    EXPECT_GT(point.rightContrast, 60);
    EXPECT_NEAR(point.weightLeft + point.weightMiddle + point.weightRight, 0.0f, 1e-3f);
  }

  coder.contours[0].selected = 1;
  Reconstructor reconstructor;
  reconstructor.width = reconstructor.cols = coder.width;
  reconstructor.height = reconstructor.rows = coder.height;
  reconstructor.allocateModelPlanes();
  coder.renderModel(reconstructor.sparsenessPlane, reconstructor.depthPlane);
  for (int32_t r = 0; r < 9; ++r) {
    const ContourPoint& point = coder.contours[0].points[r];
    for (int32_t c = 0; c < 9; ++c) {
      EXPECT_EQ(reconstructor.sparsenessPlane[r][c], c >= 3 && c <= 5 ? 255 : 0) << r << "," << c;
    }
    // The outer knots land where the contrasts were measured, with the same
    // model values.
    EXPECT_EQ(reconstructor.depthPlane[r][5], 125 - point.leftContrast);
    EXPECT_EQ(reconstructor.depthPlane[r][3], 125 - point.rightContrast);
    EXPECT_NEAR(reconstructor.depthPlane[r][4], 125 - 0.1f * point.weightMiddle, 1.0f);
  }
}

TEST(BuildModelTest, WithoutLabelPlaneLeavesThePointsAlone) {
  ContourCoder coder;
  testing::makeImage(coder, 5, 5, stepLevel);
  testing::addContour(coder, run(0, 2, 6, 5));
  coder.labelPlane.release();
  coder.computeNormals();
  coder.buildModel();
  for (const ContourPoint& point : coder.contours[0].points) {
    EXPECT_EQ(point.leftExtent, 0);
    EXPECT_EQ(point.baseLevel, 0.0f);
  }
}

// A table large enough for the model to be built on two threads: short
// contours in every direction over a random picture, so that profiles stop
// at other contours, at the edges and at repeated levels, with every length.
void makeCrowdedTable(ContourCoder& coder, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> level(0, 7);
  // Few levels, so that equal neighbours end some sides early.
  testing::makeImage(coder, 120, 160, [&](int32_t, int32_t) { return static_cast<uint8_t>(level(random) * 30); });
  std::uniform_int_distribution<int32_t> row(0, 119), col(0, 159), direction(0, 7), length(2, 40);
  while (coder.contours.size() < 600) {
    const int32_t d = direction(random);
    const int32_t n = length(random);
    const int32_t r = row(random), c = col(random);
    const int32_t endRow = r + (n - 1) * kNeighbourOffsets[d][0];
    const int32_t endCol = c + (n - 1) * kNeighbourOffsets[d][1];
    if (endRow < 0 || endRow >= 120 || endCol < 0 || endCol >= 160) continue;
    testing::addContour(coder, testing::run(r, c, d, n));
  }
  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
}

auto fieldsOf(const ContourPoint& p) {
  return std::tuple(p.leftExtent, p.rightExtent, p.leftContrast, p.rightContrast, p.leftLength, p.rightLength,
                    p.weightLeft, p.weightMiddle, p.weightRight, p.baseLevel);
}

// Built on two threads, the table and the model-building scratch end as the
// steps run point after point leave them, however the threads shared the runs.
TEST(BuildModelTest, SharedBuildEndsAsThePointByPointSteps) {
  const WorkThreads threads(2);
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    ContourCoder shared;
    shared.workThreads = &threads;
    makeCrowdedTable(shared, seed);
    ContourCoder stepwise;
    makeCrowdedTable(stepwise, seed);
    int64_t points = 0;
    for (const Contour& contour : shared.contours) points += static_cast<int64_t>(contour.points.size());
    ASSERT_GE(points, 8192);

    shared.buildModel();
    stepwise.measureSpans();
    for (int32_t contour = 0; contour < static_cast<int32_t>(stepwise.contours.size()); ++contour) {
      for (int32_t point = 0; point < static_cast<int32_t>(stepwise.contours[contour].points.size()); ++point) {
        stepwise.sampleProfile(contour, point);
        stepwise.fitProfile(contour, point);
      }
    }

    for (std::size_t contour = 0; contour < shared.contours.size(); ++contour) {
      for (std::size_t point = 0; point < shared.contours[contour].points.size(); ++point) {
        ASSERT_EQ(fieldsOf(shared.contours[contour].points[point]), fieldsOf(stepwise.contours[contour].points[point]))
            << "contour " << contour << ", point " << point;
      }
    }
    EXPECT_EQ(shared.profile, stepwise.profile);
    EXPECT_EQ(shared.modelValues, stepwise.modelValues);
    EXPECT_EQ(shared.pairErrors, stepwise.pairErrors);
    EXPECT_EQ(shared.leftProfileLength, stepwise.leftProfileLength);
    EXPECT_EQ(shared.rightProfileLength, stepwise.rightProfileLength);
  }
}

}  // namespace
}  // namespace filamorph
