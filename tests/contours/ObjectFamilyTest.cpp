// Life of the analysis object: reset and release leave exactly what they should.

#include <gtest/gtest.h>

#include "commands/CommandParameters.h"
#include "contours/ContourCoder.h"

namespace filamorph {
namespace {

// An analysis object holding every optional part: gray, edge and label
// planes, a contour table and a scrambled direction table.
void fillEverything(ContourCoder& coder) {
  coder.width = coder.cols = 6;
  coder.height = coder.rows = 4;
  coder.grayPlane.allocate(4, 6, true);
  coder.grayPlaneAllocated = 1;
  coder.filteredPlane.allocate(4, 6, true);
  coder.filteredPlaneAllocated = 1;
  coder.fileName = "a.bmp";
  for (auto* plane : {&coder.edgeMap, &coder.candidateMap}) plane->allocate(4, 6, true);
  for (auto* plane : {&coder.gradientX, &coder.gradientY, &coder.gradientMagnitude}) plane->allocate(4, 6, true);
  coder.edgePlanesAllocated = 1;
  coder.labelPlane.allocate(4, 6, true);
  coder.labelsReady = 1;
  coder.contours.resize(3);
  coder.contours[1].points.resize(5);
  coder.contoursReady = 1;
  coder.contourCount = 3;
  coder.edgePixelCount = 11;
  coder.neighbourOffsets[3] = {7, 7};
  coder.setThresholds(70, 80);
  coder.profileLambda = kProfileLambda;
}

TEST(AnalysisObject, ResetReleasesTracingAndDetectionButKeepsImageAndParameters) {
  ContourCoder coder;
  fillEverything(coder);
  coder.reset();

  EXPECT_EQ(coder.edgePlanesAllocated, 0);
  EXPECT_FALSE(coder.edgeMap.exists());
  EXPECT_FALSE(coder.gradientMagnitude.exists());
  EXPECT_FALSE(coder.labelPlane.exists());
  EXPECT_TRUE(coder.contours.empty());
  EXPECT_EQ(coder.contourCount, 0);
  EXPECT_EQ(coder.edgePixelCount, 0);
  EXPECT_EQ(coder.labelsReady, 0);
  EXPECT_EQ(coder.contoursReady, 0);
  EXPECT_EQ(coder.neighbourOffsets, kNeighbourOffsets);

  // The gray plane, the file name, the size and the parameters are the
  // caller's to release.
  EXPECT_EQ(coder.grayPlaneAllocated, 1);
  EXPECT_TRUE(coder.grayPlane.exists());
  EXPECT_EQ(coder.fileName, "a.bmp");
  EXPECT_EQ(coder.rows, 4);
  EXPECT_EQ(coder.tHigh, 80);
  EXPECT_EQ(coder.profileLambda, 0.1f);
}

TEST(AnalysisObject, ResetOfAnEmptyObjectAndResetTwiceAreHarmless) {
  ContourCoder empty;
  empty.reset();
  empty.reset();
  EXPECT_EQ(empty.contourCount, 0);
  EXPECT_EQ(empty.neighbourOffsets, kNeighbourOffsets);

  ContourCoder coder;
  fillEverything(coder);
  coder.reset();
  coder.reset();
  EXPECT_EQ(coder.contourCount, 0);
  EXPECT_EQ(coder.edgePlanesAllocated, 0);
  EXPECT_TRUE(coder.contours.empty());
}

TEST(AnalysisObject, ReleasePlanesKeepsTheSizeAndClearsTheFlags) {
  ContourCoder coder;
  fillEverything(coder);
  coder.releasePlanes();
  EXPECT_EQ(coder.grayPlaneAllocated, 0);
  EXPECT_EQ(coder.filteredPlaneAllocated, 0);
  EXPECT_FALSE(coder.grayPlane.exists());
  EXPECT_FALSE(coder.fileName.has_value());
  EXPECT_EQ(coder.width, 6);
  EXPECT_EQ(coder.height, 4);
  EXPECT_EQ(coder.rows, 4);
  EXPECT_EQ(coder.cols, 6);
  EXPECT_EQ(coder.edgePlanesAllocated, 1);  // edge planes go with reset, not here
}

}  // namespace
}  // namespace filamorph
