#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>

#include "EdgeTestSupport.h"
#include "base/WorkThreads.h"
#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

using testing::contents;
using testing::nonZeroPositions;
using testing::PositionSet;
using testing::setDefaultParameters;
using testing::setGray;

uint8_t disc(int32_t r, int32_t c) {
  const int32_t dr = r - 20;
  const int32_t dc = c - 26;
  return static_cast<uint8_t>(dr * dr + dc * dc < 144 ? 190 : 60);
}

void expectValidEdgeMap(const EdgeDetector& detector) {
  const Plane<uint8_t>& map = detector.edgeMap;
  for (int32_t r = 0; r < map.rows(); ++r) {
    for (int32_t c = 0; c < map.cols(); ++c) {
      const bool border = r == 0 || c == 0 || r == map.rows() - 1 || c == map.cols() - 1;
      ASSERT_TRUE(map[r][c] == 250 || (map[r][c] == 0)) << r << "," << c;
      if (border) {
        ASSERT_EQ(map[r][c], 0) << r << "," << c;
      }
    }
  }
}

TEST(Detection, DiscGivesAClosedThinContour) {
  EdgeDetector detector;
  setGray(detector, 40, 52, disc);
  setDefaultParameters(detector);
  detector.detectEdges();
  expectValidEdgeMap(detector);
  const PositionSet edges = nonZeroPositions(detector.edgeMap);
  ASSERT_GT(edges.size(), 40u);
  for (const auto& [r, c] : edges) {
    const int32_t d2 = (r - 20) * (r - 20) + (c - 26) * (c - 26);
    EXPECT_GT(d2, 8 * 8);
    EXPECT_LT(d2, 15 * 15);
  }
}

TEST(Detection, RunningTwiceGivesTheSameMap) {
  EdgeDetector detector;
  setGray(detector, 40, 52, disc);
  setDefaultParameters(detector);
  detector.detectEdges();
  const std::vector<uint8_t> first = contents(detector.edgeMap);
  detector.imageReplaced = 1;  // as after a second import: the planes are made anew
  detector.detectEdges();
  EXPECT_EQ(contents(detector.edgeMap), first);
}

TEST(Detection, RethresholdEqualsFullDetection) {
  EdgeDetector detector;
  setGray(detector, 40, 52,
          [](int32_t r, int32_t c) { return static_cast<uint8_t>(disc(r, c) + (r * 7 + c * 3) % 23); });
  setDefaultParameters(detector);
  detector.detectEdges();
  for (const auto& [low, high] : {std::pair{10, 40}, std::pair{60, 95}, std::pair{0, 100}, std::pair{70, 80}}) {
    detector.setThresholds(low, high);
    detector.rethreshold();
    EdgeDetector fresh;
    setGray(fresh, 40, 52,
            [](int32_t r, int32_t c) { return static_cast<uint8_t>(disc(r, c) + (r * 7 + c * 3) % 23); });
    setDefaultParameters(fresh, low, high);
    fresh.detectEdges();
    EXPECT_EQ(contents(detector.edgeMap), contents(fresh.edgeMap)) << low << "/" << high;
  }
}

TEST(Detection, NewImageSizeGetsNewPlanes) {
  EdgeDetector detector;
  setGray(detector, 40, 52, disc);
  setDefaultParameters(detector);
  detector.detectEdges();
  setGray(detector, 30, 70, [](int32_t, int32_t c) { return static_cast<uint8_t>(c < 35 ? 20 : 220); });
  detector.imageReplaced = 1;
  detector.detectEdges();
  ASSERT_EQ(detector.edgeMap.rows(), 30);
  ASSERT_EQ(detector.edgeMap.cols(), 70);
  EXPECT_EQ(detector.gradientX.cols(), 70);
  EXPECT_EQ(nonZeroPositions(detector.edgeMap), testing::PositionSet([] {
              PositionSet column;
              for (int32_t r = 5; r <= 24; ++r) column.insert({r, 34});
              return column;
            }()));
}

TEST(Detection, ImagesSmallerThanTheKernelHaveNoEdges) {
  EdgeDetector detector;
  setGray(detector, 8, 30, [](int32_t, int32_t c) { return static_cast<uint8_t>(c < 15 ? 0 : 255); });
  setDefaultParameters(detector);
  detector.detectEdges();
  EXPECT_EQ(contents(detector.gradientX), std::vector<float>(240, 0.0f));
  EXPECT_EQ(nonZeroPositions(detector.edgeMap), PositionSet{});
}

TEST(Detection, StagesWithoutPlanesDoNothing) {
  EdgeDetector detector;
  setDefaultParameters(detector);
  detector.detectEdges();  // no gray plane yet
  EXPECT_EQ(detector.edgePlanesAllocated, 0);
  detector.rethreshold();
  detector.clearEdgeBorder();
  ImageControl image;
  detector.showEdgeMap(image);
  EXPECT_TRUE(image.picture.empty());
  EXPECT_EQ(image.repaintCount, 0);
}

TEST(EdgeMapView, ShowsEdgesWhiteOnBlack) {
  EdgeDetector detector;
  testing::setEdgeMap(detector, 4, 5, {{1, 2}, {2, 3}});
  detector.edgeMap[2][1] = 128;  // any non-zero code shows white
  ImageControl image;
  detector.showEdgeMap(image);
  EXPECT_EQ(image.hint, "Edge Map");
  EXPECT_EQ(image.repaintCount, 1);
  ASSERT_EQ(image.picture.format, PixelFormat::Bits24);
  ASSERT_EQ(image.picture.width, 5);
  ASSERT_EQ(image.picture.height, 4);
  for (int32_t r = 0; r < 4; ++r) {
    for (int32_t c = 0; c < 5; ++c) {
      const bool white = (r == 1 && c == 2) || (r == 2 && c == 3) || (r == 2 && c == 1);
      EXPECT_EQ(image.picture.pixel(c, r), white ? 0xFFFFFFu : 0u) << r << "," << c;
    }
  }
}

TEST(Detection, PhotographGivesValidThinMap) {
  ImageControl image;
  ASSERT_TRUE(readBmpFile(filamorph::testing::testImage("a_camera_256x256_8gray.bmp").string(), image.picture).ok());
  EdgeDetector detector;
  ASSERT_TRUE(detector.importBitmap(image).ok());
  ASSERT_EQ(detector.grayPlaneAllocated, 1);
  setDefaultParameters(detector);
  detector.detectEdges();
  expectValidEdgeMap(detector);
  const std::size_t edges = nonZeroPositions(detector.edgeMap).size();
  EXPECT_GT(edges, 1000u);
  EXPECT_LT(edges, 256u * 256u / 4);
  // Thinning leaves no 2 x 2 block of edge pixels.
  int32_t blocks = 0;
  for (int32_t r = 0; r + 1 < 256; ++r) {
    for (int32_t c = 0; c + 1 < 256; ++c) {
      const Plane<uint8_t>& map = detector.edgeMap;
      blocks += map[r][c] && map[r][c + 1] && map[r + 1][c] && map[r + 1][c + 1] ? 1 : 0;
    }
  }
  EXPECT_EQ(blocks, 0);

  detector.showEdgeMap(image);
  EXPECT_EQ(image.picture.width, 256);
  detector.smoothGrayPlane();
  EXPECT_EQ(detector.grayPlane.rows(), 256);
}

// Shared with a helper, the gradients, the maps and the smoothed gray plane
// come out as the stages leave them run one after the other on one thread.
TEST(Detection, SharedDetectionThenSmoothingEqualsTheStepsInOrder) {
  const WorkThreads twoThreads(2);
  const auto expectSame = [&](const std::function<void(EdgeDetector&)>& setUp) {
    EdgeDetector shared;
    shared.workThreads = &twoThreads;
    setUp(shared);
    shared.detectEdgesThenSmooth();
    EdgeDetector steps;
    setUp(steps);
    steps.detectEdges();
    steps.smoothGrayPlane();
    const auto same = [](const auto& a, const auto& b) {
      return a.rows() == b.rows() && a.cols() == b.cols() &&
             std::memcmp(a.data(), b.data(), a.size() * sizeof(*a.data())) == 0;
    };
    EXPECT_TRUE(same(shared.gradientX, steps.gradientX));
    EXPECT_TRUE(same(shared.gradientY, steps.gradientY));
    EXPECT_TRUE(same(shared.gradientMagnitude, steps.gradientMagnitude));
    EXPECT_TRUE(same(shared.candidateMap, steps.candidateMap));
    EXPECT_TRUE(same(shared.edgeMap, steps.edgeMap));
    EXPECT_TRUE(same(shared.grayPlane, steps.grayPlane));
    EXPECT_TRUE(same(shared.kernel, steps.kernel));
    EXPECT_EQ(shared.kernelScale, steps.kernelScale);
  };
  for (const char* name : {"a_camera_256x256_8gray.bmp", "a_rocket_639x427_24.bmp"}) {
    SCOPED_TRACE(name);
    ImageControl image;
    ASSERT_TRUE(readBmpFile(filamorph::testing::testImage(name).string(), image.picture).ok());
    expectSame([&](EdgeDetector& detector) {
      ASSERT_TRUE(detector.importBitmap(image).ok());
      setDefaultParameters(detector);
    });
  }
  // One band, a band and a row, and planes the kernel does not fit.
  for (const auto& [rows, cols] : {std::pair{40, 52}, std::pair{65, 70}, std::pair{129, 31}, std::pair{8, 300}}) {
    SCOPED_TRACE(::testing::Message() << rows << " x " << cols);
    expectSame([&, rows = rows, cols = cols](EdgeDetector& detector) {
      setGray(detector, rows, cols, [](int32_t r, int32_t c) { return disc(r % 40, c % 52); });
      setDefaultParameters(detector);
    });
  }
}

}  // namespace
}  // namespace filamorph
