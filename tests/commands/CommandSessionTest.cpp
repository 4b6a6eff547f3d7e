// The window's commands, headless: their order of steps, and that a command
// whose data is missing or stale does nothing.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/Messages.h"
#include "commands/CommandParameters.h"
#include "commands/CommandSession.h"
#include "image/BmpFile.h"
#include "support/ScratchFolder.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

// A bright disc on a dark ground: a few closed contours after detection.
Bitmap discPicture(int32_t width, int32_t height) {
  Bitmap bitmap = Bitmap::make24(width, height);
  for (int32_t r = 0; r < height; ++r) {
    for (int32_t c = 0; c < width; ++c) {
      const int32_t dr = r - height / 2;
      const int32_t dc = c - width / 2;
      const uint8_t level = dr * dr + dc * dc < (height / 3) * (height / 3) ? 200 : 40;
      uint8_t* pixel = bitmap.scanLine(r) + 3 * c;
      pixel[0] = pixel[1] = pixel[2] = level;
    }
  }
  return bitmap;
}

class CommandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch.emplace("filamorph_commands");
    previousHandler = setMessageHandler([this](const std::string& text, MessageSeverity) { messages.push_back(text); });
  }
  void TearDown() override {
    setMessageHandler(previousHandler);
    scratch.reset();
  }

  std::string writePicture(const std::string& name, int32_t width, int32_t height) {
    const std::string file = scratch->path(name);
    EXPECT_TRUE(writeBmpFile(file, discPicture(width, height)).ok());
    return file;
  }

  std::optional<ScratchFolder> scratch;
  std::vector<std::string> messages;
  MessageHandler previousHandler;
  ContourCoder analysis;
  Reconstructor reconstruction;
  CommandSession session{analysis, reconstruction};
};

TEST_F(CommandSessionTest, CommandsWithoutTheirDataDoNothing) {
  EXPECT_FALSE(session.detectContours().ok());
  EXPECT_FALSE(session.traceContours());
  EXPECT_FALSE(session.obtainFilamorph());
  EXPECT_FALSE(session.selectContours(kDefaultSelectionWeights.length, kDefaultSelectionWeights.curvature,
                                      kDefaultSelectionWeights.contrast, 3));
  EXPECT_FALSE(session.rethreshold(50, 75));
  EXPECT_FALSE(session.compressToFile(scratch->path("model.flm")).ok());
  EXPECT_FALSE(session.reconstruct());
  EXPECT_FALSE(session.invert());
  for (bool shown : {session.showGrayLevel(), session.showEdges(), session.showContours(), session.showDescriptor(),
                     session.showBoundingBoxes(), session.showModel(), session.showReconstructed()}) {
    EXPECT_FALSE(shown);
  }
  EXPECT_TRUE(scratch->contents().empty());
  EXPECT_EQ(session.image2.repaintCount, 0);
}

TEST_F(CommandSessionTest, FailedOpenImageKeepsTheStepsBeforeTheLoad) {
  const std::string missing = scratch->path("missing.bmp");
  const Status opened = session.openImage(missing);
  EXPECT_FALSE(opened.ok());
  EXPECT_NE(opened.message().find("missing.bmp"), std::string::npos);
  EXPECT_EQ(analysis.fileName, missing);  // reset and named before the load failed
  EXPECT_EQ(session.lastPictureFile, missing);
  EXPECT_FALSE(session.hasImage());
}

// The refusal is both shown, as the window shows it, and returned, so that
// no caller has to recognise it by the message or the missing plane.
TEST_F(CommandSessionTest, RefusedPixelFormatIsShownAndReturnedByItsKind) {
  const std::string fourBit = testImage("bmpsuite/g/pal4.bmp").string();
  const Status opened = session.openImage(fourBit);
  EXPECT_EQ(opened.kind(), ErrorKind::UnsupportedPixelFormat);
  EXPECT_EQ(messages, std::vector<std::string>{kUnsupportedPixelFormat});
  EXPECT_FALSE(session.hasImage());
  EXPECT_EQ(session.detectContours().kind(), ErrorKind::UnsupportedPixelFormat);
  EXPECT_FALSE(session.hasEdges());
}

TEST_F(CommandSessionTest, ZoomSizesTheControlsByIntegerArithmetic) {
  session.zoom(1, 4);  // before any image
  EXPECT_EQ(session.image2.width, 0);
  EXPECT_EQ(session.image2.height, 0);
  EXPECT_EQ(session.image3.left, 20);

  ASSERT_TRUE(session.openImage(writePicture("wide.bmp", 101, 50)).ok());
  session.zoom(1, 4);
  EXPECT_EQ(session.image2.width, 25);
  EXPECT_EQ(session.image2.height, 12);
  EXPECT_EQ(session.image3.left, 45);
  EXPECT_EQ(session.image3.width, 25);
  EXPECT_EQ(session.image3.height, 12);
  session.zoom(15, 10);
  EXPECT_EQ(session.image2.width, 151);
  EXPECT_EQ(session.image2.height, 75);
  EXPECT_EQ(session.image3.left, 171);
}

TEST_F(CommandSessionTest, DetectContoursReloadsTheLastOpenedBitmap) {
  ASSERT_TRUE(session.openImage(writePicture("disc.bmp", 40, 30)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  const std::vector<uint8_t> smoothed(analysis.grayPlane.data(), analysis.grayPlane.data() + analysis.grayPlane.size());

  ASSERT_TRUE(session.invert());
  ASSERT_TRUE(session.pasteBitmap(Bitmap::make24(40, 30)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  EXPECT_EQ(std::vector<uint8_t>(analysis.grayPlane.data(), analysis.grayPlane.data() + analysis.grayPlane.size()),
            smoothed);
  EXPECT_EQ(session.image2.hint, "Edge Map");
  EXPECT_TRUE(messages.empty());
}

TEST_F(CommandSessionTest, ModelTravelsThroughAFileAndIsReconstructed) {
  ASSERT_TRUE(session.openImage(writePicture("disc.bmp", 40, 30)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  ASSERT_TRUE(session.traceContours());
  ASSERT_GT(analysis.contourCount, 0);
  ASSERT_TRUE(session.obtainFilamorph());
  EXPECT_EQ(session.image2.hint, "Depth Data");
  EXPECT_EQ(session.image3.left, 40 + 20);
  ASSERT_TRUE(session.compressToFile(scratch->path("disc.flm")).ok());

  ContourCoder readBack;
  Reconstructor readReconstruction;
  CommandSession reader(readBack, readReconstruction);
  ASSERT_TRUE(reader.openCodedImage(scratch->path("disc.flm")).ok());
  EXPECT_EQ(readBack.width, 40);
  EXPECT_EQ(readBack.height, 30);
  EXPECT_EQ(readBack.contourCount, analysis.contourCount);
  ASSERT_TRUE(reader.hasModelPlanes());

  DitherGenerator generator;
  ASSERT_TRUE(reader.reconstruct(generator));
  EXPECT_EQ(readReconstruction.grayPlane.rows(), 30);
  EXPECT_EQ(readReconstruction.grayPlane.cols(), 40);
  EXPECT_GE(readReconstruction.sweepCount, 1);
  EXPECT_TRUE(reader.showReconstructed());
  // The disc stays brighter than the ground it was coded against.
  EXPECT_GT(readReconstruction.grayPlane[15][20], readReconstruction.grayPlane[1][1]);
}

// Without views the commands make the same planes and the same file; image2
// keeps the picture Open Image loaded, and image3 is never drawn.
TEST_F(CommandSessionTest, CommandsWithoutViewsMakeTheSameData) {
  const std::string picture = writePicture("disc.bmp", 40, 30);
  const auto codeInto = [&](CommandSession& coder, const std::string& file) {
    ASSERT_TRUE(coder.openImage(picture).ok());
    ASSERT_TRUE(coder.detectContours().ok());
    ASSERT_TRUE(coder.traceContours());
    ASSERT_TRUE(coder.obtainFilamorph());
    ASSERT_TRUE(coder.selectContours(kDefaultSelectionWeights.length, kDefaultSelectionWeights.curvature,
                                     kDefaultSelectionWeights.contrast, 2));
    ASSERT_TRUE(coder.layModel());
    ASSERT_TRUE(coder.compressToFile(scratch->path(file)).ok());
  };
  codeInto(session, "shown.flm");
  ContourCoder headlessAnalysis;
  Reconstructor headlessReconstruction;
  CommandSession headless(headlessAnalysis, headlessReconstruction);
  headless.drawsViews = false;
  codeInto(headless, "headless.flm");

  EXPECT_FALSE(scratch->bytes("shown.flm").empty());
  EXPECT_EQ(scratch->bytes("headless.flm"), scratch->bytes("shown.flm"));
  const auto bytesOf = [](const Plane<uint8_t>& plane) {
    return std::vector<uint8_t>(plane.data(), plane.data() + plane.size());
  };
  EXPECT_EQ(bytesOf(headlessAnalysis.edgeMap), bytesOf(analysis.edgeMap));
  EXPECT_EQ(bytesOf(headlessReconstruction.depthPlane), bytesOf(reconstruction.depthPlane));
  EXPECT_EQ(session.image2.hint, "Depth Data");
  EXPECT_EQ(headless.image2.hint, picture);  // as Open Image left it
  EXPECT_EQ(headless.image2.picture.width, 40);
  EXPECT_EQ(headless.image3.picture.width, 0);

  // Without model planes the file is the same too; Reconstruct then has no
  // model to solve, and a model laid earlier leaves no planes behind.
  ContourCoder fileOnlyAnalysis;
  Reconstructor fileOnlyReconstruction;
  CommandSession fileOnly(fileOnlyAnalysis, fileOnlyReconstruction);
  fileOnly.drawsViews = false;
  fileOnlyReconstruction.allocateModelPlanes();
  fileOnly.laysModelPlanes = false;
  codeInto(fileOnly, "file-only.flm");
  EXPECT_EQ(scratch->bytes("file-only.flm"), scratch->bytes("shown.flm"));
  EXPECT_FALSE(fileOnly.hasModelPlanes());
  EXPECT_EQ(fileOnlyReconstruction.cols, 40);
  DitherGenerator generator;
  EXPECT_FALSE(fileOnly.reconstruct(generator));
}

TEST_F(CommandSessionTest, CancelledReconstructLeavesTheSolverAsItWas) {
  ASSERT_TRUE(session.openImage(writePicture("disc.bmp", 40, 30)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  ASSERT_TRUE(session.traceContours());
  ASSERT_TRUE(session.obtainFilamorph());
  reconstruction.setSolverParameters(3.0f, 0.25f, 1.5f, 0.125f, 0);

  DitherGenerator generator;
  EXPECT_FALSE(session.reconstruct(generator, [](int, float) { return false; }));
  EXPECT_EQ(reconstruction.smoothWeight, 3.0f);
  EXPECT_EQ(reconstruction.plateWeight, 0.25f);
  EXPECT_EQ(reconstruction.relaxation, 1.5f);
  EXPECT_EQ(reconstruction.tolerance, 0.125f);
  EXPECT_EQ(reconstruction.dither, 0);
  EXPECT_FALSE(session.hasReconstruction());
  EXPECT_EQ(generator.state, 1u);

  ASSERT_TRUE(session.reconstruct(generator));
  EXPECT_EQ(reconstruction.smoothWeight, 64.0f);
  EXPECT_EQ(reconstruction.plateWeight, 0.5f);
  EXPECT_EQ(reconstruction.relaxation, 1.1f);
  EXPECT_EQ(reconstruction.tolerance, 0.0005f);
  EXPECT_EQ(reconstruction.dither, 1);
}

TEST_F(CommandSessionTest, ReadingAFileOfAnotherSizeRetiresTheStalePlanes) {
  ASSERT_TRUE(session.openImage(writePicture("small.bmp", 24, 16)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  ASSERT_TRUE(session.traceContours());
  ASSERT_TRUE(session.obtainFilamorph());
  ASSERT_TRUE(session.compressToFile(scratch->path("small.flm")).ok());

  ASSERT_TRUE(session.openImage(writePicture("large.bmp", 60, 45)).ok());
  ASSERT_TRUE(session.detectContours().ok());
  ASSERT_TRUE(session.traceContours());
  ASSERT_TRUE(session.openCodedImage(scratch->path("small.flm")).ok());

  // The gray, edge and label planes still have the large image's size.
  EXPECT_FALSE(session.showGrayLevel());
  EXPECT_FALSE(session.showEdges());
  EXPECT_FALSE(session.invert());
  EXPECT_FALSE(session.rethreshold(10, 20));
  EXPECT_FALSE(session.traceContours());
  EXPECT_FALSE(session.obtainFilamorph());
  EXPECT_TRUE(session.showDescriptor());
  EXPECT_TRUE(session.showModel());
  EXPECT_TRUE(session.compressToFile(scratch->path("again.flm")).ok());
}

}  // namespace
}  // namespace filamorph::testing
