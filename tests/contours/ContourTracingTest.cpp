#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "EdgeArt.h"
#include "base/WorkThreads.h"
#include "contours/ContourCoder.h"
#include "contours/WalkRule.h"

namespace filamorph {
namespace {

using testing::loadEdgeArt;
using testing::Pixel;
using testing::pointsOf;

struct ExpectedContour {
  uint8_t closed;
  std::vector<Pixel> points;
};

struct TraceCase {
  std::string name;
  std::vector<std::string> art;
  std::vector<ExpectedContour> contours;
};

class TracingCases : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TracingCases, ContoursAndLabels) {
  const TraceCase& expected = GetParam();
  ContourCoder coder;
  loadEdgeArt(coder, expected.art);
  coder.traceContours();

  ASSERT_EQ(coder.contoursReady, 1);
  ASSERT_EQ(coder.contourCount, static_cast<int32_t>(expected.contours.size()));
  ASSERT_EQ(coder.contours.size(), expected.contours.size());
  int32_t longest = -1;
  std::size_t tracedPixels = 0;
  for (std::size_t i = 0; i < expected.contours.size(); ++i) {
    const Contour& contour = coder.contours[i];
    SCOPED_TRACE("contour " + std::to_string(i));
    EXPECT_EQ(contour.closed, expected.contours[i].closed);
    EXPECT_EQ(contour.selected, 1);
    EXPECT_EQ(pointsOf(contour), expected.contours[i].points);
    EXPECT_EQ(contour.pointCount, static_cast<int32_t>(contour.points.size()));
    for (const ContourPoint& point : contour.points) {
      EXPECT_EQ(coder.labelPlane[point.row][point.col], static_cast<int32_t>(i + 1));
    }
    longest = std::max(longest, contour.pointCount);
    tracedPixels += contour.points.size();
  }
  EXPECT_EQ(coder.maxContourLength, longest);
  const int32_t* labels = coder.labelPlane.data();
  EXPECT_EQ(static_cast<std::size_t>(
                std::count_if(labels, labels + coder.labelPlane.size(), [](int32_t label) { return label > 0; })),
            tracedPixels);
}

const TraceCase kTraceCases[] = {
    {"EmptyMap", {"....", "....", "...."}, {}},
    {"IsolatedPixelIsDropped", {"...", ".#.", "..."}, {}},
    {"RunFromItsLeftEnd", {"......", ".####.", "......"}, {{0, {{1, 1}, {1, 2}, {1, 3}, {1, 4}}}}},
    {"RisingDiagonalFromItsUpperEnd", {".....", "...#.", "..#..", ".#...", "....."}, {{0, {{1, 3}, {2, 2}, {3, 1}}}}},
    {"RingFromItsFirstPixel",
     {".....", ".###.", ".#.#.", ".###.", "....."},
     {{1, {{1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 3}, {3, 2}, {3, 1}, {2, 1}}}}},
    {"JunctionKeepsStraightOnAndTheBranchBecomesAChain",
     {".......", ".#####.", "...#...", "...#...", "......."},
     {{0, {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}}}, {0, {{2, 3}, {3, 3}}}}},
    {"ForkTurnsCounterClockwiseFirst",
     {".......", "...#...", "...#...", "...#...", "..#.#..", "......."},
     {{0, {{1, 3}, {2, 3}, {3, 3}, {4, 4}}}}},
    {"WalkEndsWhereStraightOnLeavesTheImage", {"..#", "###", "..#"}, {{0, {{1, 0}, {1, 1}, {1, 2}}}}},
    {"OpenChainsBeforeClosedLoops",
     {".......", ".###...", ".#.#...", ".###...", ".......", "...###.", "......."},
     {{0, {{5, 3}, {5, 4}, {5, 5}}}, {1, {{1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 3}, {3, 2}, {3, 1}, {2, 1}}}}},
    {"LoopWalkStrandsAOnePixelContour",
     {"......", "..#.#.", ".##...", "...##.", "....#.", "......"},
     {{0, {{1, 2}, {2, 2}, {3, 3}, {4, 4}, {3, 4}}}, {1, {{2, 1}}}}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, TracingCases, ::testing::ValuesIn(kTraceCases),
                         [](const ::testing::TestParamInfo<TraceCase>& info) { return info.param.name; });

TEST(Tracing, CountPassMeasuresBoundingBoxAndMeans) {
  ContourCoder coder;
  loadEdgeArt(coder, {".......", "..####.", "......."});
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 1);
  const Contour& run = coder.contours[0];
  EXPECT_EQ(run.left, 2);
  EXPECT_EQ(run.top, 1);
  EXPECT_EQ(run.spanCols, 3);
  EXPECT_EQ(run.spanRows, 0);
  EXPECT_EQ(run.meanCol, 3.5f);
  EXPECT_EQ(run.meanRow, 1.0f);
  EXPECT_EQ(coder.edgePixelCount, 4);
}

// The loop walk gives label 2 five pixels, but the ordering walk from its end
// at (4,3) turns north at (4,5) and never reaches (5,5).
const std::vector<std::string> kWalkLeavesAPixel = {".......", ".....#.", ".###...", ".##..#.",
                                                    "...###.", ".....#.", "......."};

TEST(Tracing, OrderingWalkThatLeavesAPixelBehindAndTheRetrace) {
  ContourCoder coder;
  loadEdgeArt(coder, kWalkLeavesAPixel);
  coder.traceContours();

  ASSERT_EQ(coder.contourCount, 2);
  EXPECT_EQ(pointsOf(coder.contours[0]), (std::vector<Pixel>{{2, 1}, {2, 2}, {2, 3}, {3, 2}, {3, 1}}));
  EXPECT_EQ(coder.contours[0].closed, 1);
  const Contour& cut = coder.contours[1];
  EXPECT_EQ(cut.closed, 0);
  EXPECT_EQ(pointsOf(cut), (std::vector<Pixel>{{4, 3}, {4, 4}, {4, 5}, {3, 5}}));
  EXPECT_EQ(cut.pointCount, 4);
  // Box and means still count the pixel the walk missed.
  EXPECT_EQ(cut.spanRows, 2);
  EXPECT_EQ(cut.meanRow, 4.0f);
  EXPECT_EQ(cut.meanCol, 4.4f);
  EXPECT_EQ(coder.maxContourLength, 5);
  // Reached: its label; carrying a label but missed: label - count; the
  // dropped pixel (1,5) and the background: -count.
  EXPECT_EQ(coder.labelPlane[4][4], 2);
  EXPECT_EQ(coder.labelPlane[5][5], 0);
  EXPECT_EQ(coder.labelPlane[1][5], -2);
  EXPECT_EQ(coder.labelPlane[0][0], -2);

  // A retrace works on the labels as left: the missed pixel is gone for good,
  // and a later edge map is not looked at.
  coder.edgeMap[6][0] = 250;
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 2);
  EXPECT_EQ(pointsOf(coder.contours[1]), (std::vector<Pixel>{{4, 3}, {4, 4}, {4, 5}, {3, 5}}));
  EXPECT_EQ(coder.contours[1].spanRows, 1);
  EXPECT_EQ(coder.contours[1].meanRow, 3.75f);
  EXPECT_EQ(coder.contours[1].meanCol, 4.25f);
  EXPECT_EQ(coder.labelPlane[4][4], 2);
  EXPECT_EQ(coder.labelPlane[5][5], -2);
  EXPECT_EQ(coder.labelPlane[0][0], -4);
  EXPECT_EQ(coder.labelPlane[6][0], -4);
}

TEST(Tracing, RetraceRecoversTheCountAfterTheTableWasReplaced) {
  ContourCoder coder;
  loadEdgeArt(coder, kWalkLeavesAPixel);
  coder.traceContours();
  // As after reading a file of one contour: the labels still run to 2.
  coder.contourCount = 1;
  coder.contours.resize(1);
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 2);
  EXPECT_EQ(coder.contours[1].pointCount, 4);
}

TEST(Tracing, LabelsAnewWhenTheLabelPlaneNoLongerFitsTheImage) {
  ContourCoder coder;
  loadEdgeArt(coder, {"....", ".##.", "...."});
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 1);

  loadEdgeArt(coder, {"......", "......", ".###..", "......", "...##."});
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 2);
  EXPECT_EQ(pointsOf(coder.contours[0]), (std::vector<Pixel>{{2, 1}, {2, 2}, {2, 3}}));
  EXPECT_EQ(pointsOf(coder.contours[1]), (std::vector<Pixel>{{4, 3}, {4, 4}}));
  EXPECT_EQ(coder.edgePixelCount, 5);
}

TEST(Tracing, DoesNothingWithoutEdgePlanes) {
  ContourCoder coder;
  loadEdgeArt(coder, {"....", ".##.", "...."});
  coder.releaseEdgePlanes();
  coder.traceContours();
  EXPECT_EQ(coder.labelsReady, 0);
  EXPECT_EQ(coder.contoursReady, 0);
  EXPECT_EQ(coder.contourCount, 0);
}

TEST(Tracing, ResetLeadsToAFreshLabelling) {
  ContourCoder coder;
  loadEdgeArt(coder, kWalkLeavesAPixel);
  coder.traceContours();
  coder.reset();
  loadEdgeArt(coder, kWalkLeavesAPixel);
  coder.traceContours();
  EXPECT_EQ(coder.contourCount, 2);
  EXPECT_EQ(coder.labelPlane[5][5], 0);  // labelled 2 again, then missed again
}

// A serpentine of every other row joined at alternate ends: one chain of
// tens of thousands of pixels, walked without any depth limit.
TEST(Tracing, OneChainThroughTheWholeImage) {
  constexpr int32_t kSide = 401;
  std::vector<std::string> art(kSide, std::string(kSide, '.'));
  int32_t edgePixels = 0;
  for (int32_t row = 1; row < kSide - 1; row += 2) {
    for (int32_t col = 1; col < kSide - 1; ++col) art[row][col] = '#';
    edgePixels += kSide - 2;
    if (row + 2 < kSide - 1) {
      art[row + 1][(row / 2) % 2 == 0 ? kSide - 2 : 1] = '#';
      ++edgePixels;
    }
  }
  ContourCoder coder;
  loadEdgeArt(coder, art);
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 1);
  const Contour& chain = coder.contours[0];
  EXPECT_EQ(chain.pointCount, edgePixels);
  EXPECT_EQ(coder.maxContourLength, edgePixels);
  EXPECT_EQ(pointsOf(chain).front(), (Pixel{1, 1}));
  EXPECT_EQ(pointsOf(chain).back(), (Pixel{kSide - 2, 1}));
}

// The labelling with every start search scanning from the first pixel, as
// a plain reference for the candidate heap and the resumed searches.
std::vector<int32_t> labelByFullRescans(const ContourCoder& image, const Plane<uint8_t>& edges) {
  const int32_t rows = image.rows;
  const int32_t cols = image.cols;
  std::vector<int32_t> labels(static_cast<std::size_t>(rows) * cols);
  for (std::size_t i = 0; i < labels.size(); ++i) labels[i] = edges.data()[i] != 0 ? -1 : 0;
  auto at = [&](int32_t r, int32_t c) -> int32_t& { return labels[static_cast<std::size_t>(r) * cols + c]; };
  auto unlabelledNeighbours = [&](int32_t r, int32_t c) {
    int32_t count = 0;
    for (int32_t nr = r - 1; nr <= r + 1; ++nr) {
      for (int32_t nc = c - 1; nc <= c + 1; ++nc) {
        if ((nr != r || nc != c) && image.isInside(nr, nc) && at(nr, nc) == -1) ++count;
      }
    }
    return count;
  };
  int32_t count = 0;
  auto walk = [&](int32_t r, int32_t c, int32_t direction) {
    ++count;
    walkByRule(
        image, kNeighbourOffsets, r, c, direction, [&](int32_t nr, int32_t nc) { return at(nr, nc) == -1; },
        [&](int32_t nr, int32_t nc) { at(nr, nc) = count; });
  };
  for (bool found = true; found;) {
    found = false;
    for (int32_t r = 0; r < rows && !found; ++r) {
      for (int32_t c = 0; c < cols && !found; ++c) {
        if (at(r, c) != -1) continue;
        const int32_t neighbours = unlabelledNeighbours(r, c);
        if (neighbours == 0) at(r, c) = 0;
        if (neighbours == 1) {
          walk(r, c, 0);
          found = true;
        }
      }
    }
  }
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] == -1) walk(static_cast<int32_t>(i / cols), static_cast<int32_t>(i % cols), 1);
  }
  return labels;
}

TEST(Tracing, StartSearchesLabelLikeFullRescansFromTheFirstPixel) {
  std::mt19937 random(20240611u);
  for (int trial = 0; trial < 60; ++trial) {
    const int32_t density = 15 + trial % 4 * 12;
    std::vector<std::string> art(24, std::string(31, '.'));
    for (std::string& line : art) {
      for (char& pixel : line) pixel = static_cast<int32_t>(random() % 100) < density ? '#' : '.';
    }
    ContourCoder coder;
    loadEdgeArt(coder, art);
    coder.labelChains();
    const std::vector<int32_t> reference = labelByFullRescans(coder, coder.edgeMap);
    const std::vector<int32_t> labels(coder.labelPlane.data(), coder.labelPlane.data() + coder.labelPlane.size());
    ASSERT_EQ(labels, reference) << "trial " << trial;
  }
}

// Everything tracing leaves, for comparing two tracings field by field.
auto tracingOf(const ContourCoder& coder) {
  std::vector<
      std::tuple<uint8_t, uint8_t, int32_t, int32_t, int32_t, int32_t, int32_t, float, float, std::vector<Pixel>>>
      contours;
  for (const Contour& c : coder.contours) {
    contours.emplace_back(c.closed, c.selected, c.pointCount, c.left, c.top, c.spanCols, c.spanRows, c.meanCol,
                          c.meanRow, pointsOf(c));
  }
  const std::vector<int32_t> labels(coder.labelPlane.data(), coder.labelPlane.data() + coder.labelPlane.size());
  return std::tuple(coder.contourCount, coder.maxContourLength, coder.edgePixelCount, contours, labels);
}

// Shared with a helper, tracing and a retrace leave what one thread leaves.
TEST(Tracing, SharedTracingEqualsOneThread) {
  const WorkThreads twoThreads(2);
  std::mt19937 random(7u);
  for (int trial = 0; trial < 8; ++trial) {
    const int32_t density = 10 + trial * 6;
    std::vector<std::string> art(97 + trial, std::string(131, '.'));
    for (std::string& line : art) {
      for (char& pixel : line) pixel = static_cast<int32_t>(random() % 100) < density ? '#' : '.';
    }
    ContourCoder shared;
    shared.workThreads = &twoThreads;
    loadEdgeArt(shared, art);
    ContourCoder alone;
    loadEdgeArt(alone, art);
    shared.traceContours();
    alone.traceContours();
    ASSERT_GT(alone.contourCount, 16) << "trial " << trial;
    ASSERT_EQ(tracingOf(shared), tracingOf(alone)) << "trial " << trial;
    shared.traceContours();
    alone.traceContours();
    ASSERT_EQ(tracingOf(shared), tracingOf(alone)) << "retrace, trial " << trial;
  }
}

}  // namespace
}  // namespace filamorph
