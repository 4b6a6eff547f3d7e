#include <gtest/gtest.h>

#include "CodedFileFixture.h"
#include "codecfile/CodedFileFormat.h"
#include "commands/CommandParameters.h"
#include "image/ImageControl.h"
#include "support/CommandSteps.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

using PhotographRoundTripTest = CodedFileTest;

// The model of a real photograph, every contour selected, as the Detect
// Contours, Trace Contours and Obtain Filamorph commands build it.
void buildPhotographModel(ContourCoder& coder) {
  ImageControl image;
  image.autoSize = true;
  ASSERT_TRUE(image.loadFromFile(testImage("a_camera_256x256_8gray.bmp").string()));
  ASSERT_TRUE(coder.importBitmap(image).ok());
  testing::detectEdgesAsTheCommandDoes(coder);
  coder.smoothGrayPlane();
  coder.traceContours();
  coder.computeNormals();
  coder.profileLambda = kProfileLambda;
  coder.buildModel();
}

TEST_F(PhotographRoundTripTest, ModelReadsBackAsWritten) {
  ContourCoder coder;
  buildPhotographModel(coder);
  ASSERT_GT(coder.contourCount, 0);

  const std::vector<ContourCoder::CodedContour> plan = coder.planCodedContours();
  CodedFileSummary summary;
  ASSERT_TRUE(coder.writeCodedFile(path("camera.flm"), &summary));
  EXPECT_EQ(summary.contoursCut, 0);  // traced chains always step to a neighbour
  ASSERT_EQ(static_cast<size_t>(summary.contoursWritten), plan.size());
  int32_t longEnough = 0;
  for (const Contour& contour : coder.contours) longEnough += contour.pointCount >= 2 ? 1 : 0;
  EXPECT_EQ(summary.contoursWritten + summary.contoursLeftOut, longEnough);
  // The photograph has more contours than a file holds: the left-out warning shows.
  EXPECT_EQ(messages.size(), summary.contoursLeftOut > 0 ? 1u : 0u);
  EXPECT_GT(summary.pointsWritten, 1000);

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("camera.flm")));
  EXPECT_EQ(reader.width, coder.width);
  EXPECT_EQ(reader.height, coder.height);
  EXPECT_EQ(reader.symbolRanks, coder.symbolRanks);
  ASSERT_EQ(reader.contours.size(), plan.size());
  for (size_t k = 0; k < plan.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "contour " << plan[k].index);
    const Contour& original = coder.contours[static_cast<size_t>(plan[k].index)];
    const Contour& decoded = reader.contours[k];
    EXPECT_EQ(decoded.selected, 1);
    ASSERT_EQ(decoded.pointCount, original.pointCount);
    EXPECT_EQ(decoded.top, original.top);
    EXPECT_EQ(decoded.left, original.left);
    EXPECT_EQ(decoded.spanRows, original.spanRows);
    EXPECT_EQ(decoded.spanCols, original.spanCols);
    for (size_t j = 0; j < original.points.size(); ++j) {
      const ContourPoint& a = original.points[j];
      const ContourPoint& b = decoded.points[j];
      ASSERT_EQ(b.row, a.row) << "point " << j;
      ASSERT_EQ(b.col, a.col) << "point " << j;
      ASSERT_EQ(b.chainCode, j == 0 ? 0 : a.chainCode) << "point " << j;
      ASSERT_EQ(b.leftExtent, codedfile::clampExtent(a.leftExtent)) << "point " << j;
      ASSERT_EQ(b.rightExtent, codedfile::clampExtent(a.rightExtent)) << "point " << j;
      ASSERT_EQ(b.weightLeft, static_cast<float>(codedfile::quantizedWeight(a.weightLeft))) << "point " << j;
      ASSERT_EQ(b.weightMiddle, static_cast<float>(codedfile::quantizedWeight(a.weightMiddle))) << "point " << j;
      ASSERT_EQ(b.weightRight, -(b.weightLeft + b.weightMiddle)) << "point " << j;
      ASSERT_EQ(b.baseLevel, static_cast<float>(codedfile::quantizedBaseLevel(a.baseLevel))) << "point " << j;
    }
  }

  // Reading changes the model only by quantisation: writing it again gives the same file.
  ASSERT_TRUE(reader.writeCodedFile(path("again.flm")));
  EXPECT_EQ(readBytes(path("again.flm")), readBytes(path("camera.flm")));
}

}  // namespace
}  // namespace filamorph::testing
