#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "contours/ContourCoder.h"
#include "image/ImageControl.h"
#include "support/CommandSteps.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

// Every contour is a walk of 8-neighbours over edge pixels inside its box;
// the label plane marks exactly the walked pixels with their contour's label.
void expectConsistentTable(const ContourCoder& coder) {
  int64_t walkedPixels = 0;
  int32_t longest = -1;
  for (int32_t i = 0; i < coder.contourCount; ++i) {
    const Contour& contour = coder.contours[i];
    ASSERT_GE(contour.pointCount, 1) << i;
    ASSERT_EQ(contour.pointCount, static_cast<int32_t>(contour.points.size())) << i;
    for (int32_t j = 0; j < contour.pointCount; ++j) {
      const ContourPoint& point = contour.points[j];
      ASSERT_TRUE(coder.isInside(point.row, point.col));
      ASSERT_NE(coder.edgeMap[point.row][point.col], 0);
      ASSERT_EQ(coder.labelPlane[point.row][point.col], i + 1);
      ASSERT_GE(point.col, contour.left);
      ASSERT_LE(point.col, contour.left + contour.spanCols);
      ASSERT_GE(point.row, contour.top);
      ASSERT_LE(point.row, contour.top + contour.spanRows);
      if (j > 0) {
        const ContourPoint& previous = contour.points[j - 1];
        ASSERT_LE(std::abs(point.row - previous.row), 1);
        ASSERT_LE(std::abs(point.col - previous.col), 1);
      }
    }
    walkedPixels += contour.pointCount;
    longest = std::max(longest, contour.pointCount);
  }
  EXPECT_EQ(coder.maxContourLength, longest);
  const int32_t* labels = coder.labelPlane.data();
  EXPECT_EQ(std::count_if(labels, labels + coder.labelPlane.size(), [](int32_t label) { return label > 0; }),
            walkedPixels);
}

TEST(PhotographTracing, DetectedEdgesTraceIntoConsistentContours) {
  ImageControl image;
  ASSERT_TRUE(image.loadFromFile(testing::testImage("a_camera_256x256_8gray.bmp").string()));
  ContourCoder coder;
  ASSERT_TRUE(coder.importBitmap(image).ok());
  testing::detectEdgesAsTheCommandDoes(coder);
  coder.traceContours();

  ASSERT_GT(coder.contourCount, 10);
  {
    SCOPED_TRACE("first tracing");
    expectConsistentTable(coder);
  }

  const int32_t firstCount = coder.contourCount;
  coder.traceContours();
  EXPECT_EQ(coder.contourCount, firstCount);
  SCOPED_TRACE("retrace");
  expectConsistentTable(coder);
}

}  // namespace
}  // namespace filamorph
