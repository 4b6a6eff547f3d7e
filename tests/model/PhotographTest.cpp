#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "commands/CommandParameters.h"
#include "contours/ContourCoder.h"
#include "image/ImageControl.h"
#include "reconstruct/Reconstructor.h"
#include "support/CommandSteps.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

// Detection and tracing as the Detect Contours and Trace Contours commands
// run them, then model building over every traced point.
TEST(PhotographTest, EveryTracedPointGetsACompleteModel) {
  ImageControl image;
  image.autoSize = true;
  ASSERT_TRUE(image.loadFromFile(testing::testImage("a_camera_256x256_8gray.bmp").string()));
  ContourCoder coder;
  ASSERT_TRUE(coder.importBitmap(image).ok());
  testing::detectEdgesAsTheCommandDoes(coder);
  coder.smoothGrayPlane();
  coder.traceContours();
  ASSERT_GT(coder.contourCount, 0);

  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
  coder.buildModel();

  int64_t points = 0;
  for (int32_t i = 0; i < coder.contourCount; ++i) {
    const Contour& contour = coder.contours[i];
    ASSERT_EQ(contour.points.size(), static_cast<std::size_t>(contour.pointCount));
    for (const ContourPoint& point : contour.points) {
      ++points;
      // A point left unfilled by tracing would sit at (0, 0), off its label.
      ASSERT_EQ(coder.labelPlane[point.row][point.col], i + 1) << "contour " << i;
      ASSERT_EQ(point.normal % 2, 0);
      ASSERT_TRUE(point.normal >= 0 && point.normal <= 6);
      ASSERT_TRUE(point.leftLength >= 0 && point.leftLength <= 2);
      ASSERT_TRUE(point.rightLength >= 0 && point.rightLength <= 2);
      // Each knot lies within the samples, or one stand-in pixel out.
      ASSERT_TRUE(point.leftExtent >= 1 && point.leftExtent <= std::max<int16_t>(point.leftLength, 1));
      ASSERT_TRUE(point.rightExtent >= 1 && point.rightExtent <= std::max<int16_t>(point.rightLength, 1));
      ASSERT_TRUE(std::isfinite(point.weightLeft) && std::isfinite(point.weightMiddle) &&
                  std::isfinite(point.weightRight) && std::isfinite(point.baseLevel));
      const float scale = std::abs(point.weightLeft) + std::abs(point.weightMiddle) + std::abs(point.weightRight);
      ASSERT_NEAR(point.weightLeft + point.weightMiddle + point.weightRight, 0.0f, 1e-3f * (scale + 1.0f));
      ASSERT_TRUE(std::abs(point.leftContrast) <= 255 && std::abs(point.rightContrast) <= 255);
    }
  }
  EXPECT_GT(points, 1000);

  Reconstructor reconstructor;
  reconstructor.width = reconstructor.cols = coder.width;
  reconstructor.height = reconstructor.rows = coder.height;
  reconstructor.allocateModelPlanes();
  coder.renderModel(reconstructor.sparsenessPlane, reconstructor.depthPlane);
  int64_t modelPixels = 0;
  for (std::size_t i = 0; i < reconstructor.sparsenessPlane.size(); ++i) {
    const uint8_t mark = reconstructor.sparsenessPlane.data()[i];
    ASSERT_TRUE(mark == 0 || mark == 255);
    if (mark == 0) {
      ASSERT_EQ(reconstructor.depthPlane.data()[i], 0);
    }
    modelPixels += mark == 255;
  }
  // Every profile covers at least its first pixel, so the model reaches at
  // least as many pixels as there are contour pixels owned by nobody else.
  EXPECT_GT(modelPixels, points);
}

}  // namespace
}  // namespace filamorph
