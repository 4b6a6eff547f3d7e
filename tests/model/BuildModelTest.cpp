#include <gtest/gtest.h>

#include "ModelFixture.h"
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

}  // namespace
}  // namespace filamorph
