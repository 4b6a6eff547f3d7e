#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CodedFileFixture.h"

namespace filamorph::testing {
namespace {

using CodedFileWriterTest = CodedFileTest;

// The 4 x 4 image with one contour of three points heading east.
void buildThreePointModel(ContourCoder& coder) {
  setSize(coder, 4, 4);
  Contour contour = makeContour({{1, 0}, {1, 1}, {1, 2}});
  for (ContourPoint& point : contour.points) {
    point.leftExtent = 1;
    point.rightExtent = 1;
    point.baseLevel = 100.0f;
  }
  setContours(coder, {contour});
}

TEST_F(CodedFileWriterTest, ImageWithoutContoursIsTwelveBytes) {
  ContourCoder coder;
  setSize(coder, 5, 3);
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));
  EXPECT_EQ(readBytes(path("a.flm")), (Bytes{0xFF, 0xD0, 0x03, 0x77, 0xFE, 0x40, 0x03, 0xEB, 0x1A, 0x23, 0xFE, 0x00}));
  EXPECT_EQ(coder.symbolRanks, (std::array<int32_t, 8>{7, 6, 5, 4, 3, 2, 1, 0}));

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  EXPECT_EQ(reader.width, 5);
  EXPECT_EQ(reader.cols, 5);
  EXPECT_EQ(reader.height, 3);
  EXPECT_EQ(reader.rows, 3);
  EXPECT_EQ(reader.contourCount, 0);
  EXPECT_TRUE(reader.contours.empty());
  EXPECT_EQ(reader.symbolRanks, coder.symbolRanks);
  EXPECT_TRUE(messages.empty());
}

TEST_F(CodedFileWriterTest, ThreePointContourIsTwentyNineBytesAndReadsBack) {
  ContourCoder coder;
  buildThreePointModel(coder);
  CodedFileSummary summary;
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm"), &summary));
  EXPECT_EQ(readBytes(path("a.flm")),
            (Bytes{0xFF, 0xD0, 0x03, 0x93, 0xFE, 0x40, 0x05, 0x7C, 0x6C, 0x60, 0x81, 0x3F, 0xE0, 0x00, 0x42,
                   0x10, 0x84, 0x21, 0x01, 0x80, 0x80, 0x72, 0x40, 0x40, 0x39, 0x20, 0x20, 0x1C, 0x80}));
  EXPECT_EQ(coder.symbolCounts, (std::array<uint32_t, 8>{1, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(coder.symbolRanks, (std::array<int32_t, 8>{2, 7, 6, 1, 5, 4, 3, 0}));
  EXPECT_EQ(coder.contours[0].points[1].chainCode, 0);  // first step east
  EXPECT_EQ(coder.contours[0].points[2].chainCode, 3);  // straight on
  EXPECT_EQ(summary.contoursWritten, 1);
  EXPECT_EQ(summary.pointsWritten, 3);

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 1);
  const Contour& contour = reader.contours[0];
  EXPECT_EQ(contour.selected, 1);
  ASSERT_EQ(contour.pointCount, 3);
  ASSERT_EQ(contour.points.size(), 3u);
  for (int j = 0; j < 3; ++j) {
    const ContourPoint& point = contour.points[static_cast<size_t>(j)];
    EXPECT_EQ(point.row, 1);
    EXPECT_EQ(point.col, j);
    EXPECT_EQ(point.leftExtent, 1);
    EXPECT_EQ(point.rightExtent, 1);
    EXPECT_EQ(point.weightLeft, 0.0f);
    EXPECT_EQ(point.weightMiddle, 0.0f);
    EXPECT_EQ(point.baseLevel, 100.0f);
  }
  EXPECT_EQ(contour.top, 1);
  EXPECT_EQ(contour.left, 0);
  EXPECT_EQ(contour.spanRows, 0);
  EXPECT_EQ(contour.spanCols, 2);
  EXPECT_EQ(contour.meanRow, 1.0f);
  EXPECT_EQ(contour.meanCol, 1.0f);
  EXPECT_EQ(reader.symbolRanks, coder.symbolRanks);
}

TEST_F(CodedFileWriterTest, TwoPointContourHasNoChainAndReadsBackAsTwoPoints) {
  ContourCoder coder;
  setSize(coder, 8, 8);
  setContours(coder, {makeContour({{3, 3}, {2, 4}})});
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));
  EXPECT_EQ(coder.symbolCounts, (std::array<uint32_t, 8>{0, 1, 0, 0, 0, 0, 0, 1}));

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 1);
  ASSERT_EQ(reader.contours[0].pointCount, 2);
  EXPECT_EQ(reader.contours[0].points[1].row, 2);
  EXPECT_EQ(reader.contours[0].points[1].col, 4);
}

TEST_F(CodedFileWriterTest, StraightRunMakesGoingOnTheShortestCode) {
  ContourCoder coder;
  setSize(coder, 8, 8);
  setContours(coder, {makeContour({{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}})});
  coder.computeChainCodes();
  coder.computeTurnSymbols();
  coder.countSymbols();
  coder.computeSymbolRanks();
  const auto& points = coder.contours[0].points;
  EXPECT_EQ(points[1].chainCode, 0);
  for (size_t j = 2; j < points.size(); ++j) EXPECT_EQ(points[j].chainCode, 3);
  EXPECT_EQ(coder.symbolRanks[3], 0);
  EXPECT_EQ(coder.symbolRanks[7], 1);  // equal counts: the higher symbol first
  EXPECT_EQ(coder.symbolRanks[0], 2);
}

TEST_F(CodedFileWriterTest, TurnSymbolsCoverEveryTurnOfAWindingChain) {
  // Steps: 0 (E), 1 (NE), 3 (NW), 6 (S), 4 (W), 1 (NE): turns +1, +2, +3, -2, -3.
  ContourCoder coder;
  setSize(coder, 10, 10);
  setContours(coder, {makeContour({{5, 2}, {5, 3}, {4, 4}, {3, 3}, {4, 3}, {4, 2}, {3, 3}})});
  coder.computeChainCodes();
  coder.computeTurnSymbols();
  std::vector<int16_t> codes;
  for (const ContourPoint& point : coder.contours[0].points) codes.push_back(point.chainCode);
  EXPECT_EQ(codes, (std::vector<int16_t>{0, 0, 4, 5, 6, 1, 0}));
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 1);
  for (size_t j = 0; j < 7; ++j) {
    EXPECT_EQ(reader.contours[0].points[j].row, coder.contours[0].points[j].row);
    EXPECT_EQ(reader.contours[0].points[j].col, coder.contours[0].points[j].col);
    EXPECT_EQ(reader.contours[0].points[j].chainCode, coder.contours[0].points[j].chainCode);
  }
}

struct Quantisation {
  float weight;
  float base;
  int16_t extent;
  float storedWeight;
  float storedMiddle;  // of the weight's negation
  float storedBase;
  int16_t storedExtent;
};

TEST_F(CodedFileWriterTest, ValuesAreTruncatedAndClampedIntoTheirFields) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float infinity = std::numeric_limits<float>::infinity();
  const std::vector<Quantisation> cases = {
      {-0.7f, 100.9f, 1, 0.0f, 0.0f, 100.0f, 1},
      {3.9f, -0.5f, 31, 3.0f, -3.0f, 0.0f, 31},
      {127.99f, 383.9f, 32, 127.0f, -127.0f, 383.0f, 31},
      {-128.9f, -128.9f, -1, -128.0f, 127.0f, -128.0f, 0},
      {200.0f, 1000.0f, 500, 127.0f, -128.0f, 383.0f, 31},
      {-1e30f, -1e30f, -500, -128.0f, 127.0f, -128.0f, 0},
      {infinity, -infinity, 0, 127.0f, -128.0f, -128.0f, 0},
      {nan, nan, 0, 0.0f, 0.0f, 0.0f, 0},
  };
  ContourCoder coder;
  setSize(coder, 64, 64);
  std::vector<std::pair<int32_t, int32_t>> rowCols;
  for (size_t j = 0; j < cases.size(); ++j) rowCols.emplace_back(10, static_cast<int32_t>(j));
  Contour contour = makeContour(rowCols);
  for (size_t j = 0; j < cases.size(); ++j) {
    ContourPoint& point = contour.points[j];
    point.weightLeft = cases[j].weight;
    point.weightMiddle = -cases[j].weight;
    point.baseLevel = cases[j].base;
    point.leftExtent = cases[j].extent;
  }
  setContours(coder, {contour});
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 1);
  for (size_t j = 0; j < cases.size(); ++j) {
    const ContourPoint& point = reader.contours[0].points[j];
    EXPECT_EQ(point.weightLeft, cases[j].storedWeight) << "case " << j;
    EXPECT_EQ(point.weightMiddle, cases[j].storedMiddle) << "case " << j;
    EXPECT_EQ(point.weightRight, -(cases[j].storedWeight + cases[j].storedMiddle)) << "case " << j;
    EXPECT_EQ(point.baseLevel, cases[j].storedBase) << "case " << j;
    EXPECT_EQ(point.leftExtent, cases[j].storedExtent) << "case " << j;
  }
}

TEST_F(CodedFileWriterTest, WritingTwiceGivesIdenticalFiles) {
  ContourCoder coder;
  setSize(coder, 40, 30);
  setContours(coder, {makeContour({{5, 5}, {5, 6}, {6, 7}, {7, 7}, {8, 6}}),
                      makeContour({{20, 30}, {19, 30}, {18, 31}, {17, 32}})});
  coder.contours[0].points[2].weightLeft = 12.5f;
  coder.contours[1].points[3].baseLevel = 250.25f;
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));
  ASSERT_TRUE(coder.writeCodedFile(path("b.flm")));
  EXPECT_EQ(readBytes(path("a.flm")), readBytes(path("b.flm")));
}

TEST_F(CodedFileWriterTest, OnlySelectedContoursOfTwoOrMorePointsAreWritten) {
  ContourCoder coder;
  setSize(coder, 16, 16);
  setContours(coder, {makeContour({{1, 1}, {1, 2}, {1, 3}}, 0), makeContour({{4, 4}}),
                      makeContour({{6, 6}, {7, 7}, {8, 8}}), makeContour({{9, 1}, {9, 2}}, 0)});
  const std::vector<int16_t> unselectedCodes = {11, 12, 13};
  for (size_t j = 0; j < 3; ++j) coder.contours[0].points[j].chainCode = unselectedCodes[j];
  CodedFileSummary summary;
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm"), &summary));
  EXPECT_EQ(summary.contoursWritten, 1);
  EXPECT_EQ(summary.pointsWritten, 3);
  EXPECT_EQ(summary.contoursLeftOut, 0);
  EXPECT_EQ(summary.contoursCut, 0);
  for (size_t j = 0; j < 3; ++j) EXPECT_EQ(coder.contours[0].points[j].chainCode, unselectedCodes[j]);
  EXPECT_TRUE(messages.empty());

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 1);
  EXPECT_EQ(reader.contours[0].points[0].row, 6);
  EXPECT_EQ(reader.contours[0].points[2].col, 8);
}

TEST_F(CodedFileWriterTest, BeyondTwoHundredFiftyFiveContoursTheBestRankedAreKeptInTableOrder) {
  ContourCoder coder;
  setSize(coder, 64, 64);
  std::vector<Contour> contours;
  for (int32_t i = 0; i < 300; ++i) {
    Contour contour = makeContour({{i % 64, i / 64}, {i % 64, i / 64 + 1}});
    contour.points[0].baseLevel = static_cast<float>(i);
    // Ranks 1..300 running backwards, except that the last 50 tie at 1.
    contour.rank = i >= 250 ? 1 : 300 - i;
    contours.push_back(contour);
  }
  setContours(coder, contours);
  CodedFileSummary summary;
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm"), &summary));
  EXPECT_EQ(summary.contoursWritten, 255);
  EXPECT_EQ(summary.contoursLeftOut, 45);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("45"), std::string::npos) << messages[0];

  // Kept: the 50 tied at rank 1 and the 205 of ranks 51..255 (contours 45..249).
  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 255);
  for (int32_t k = 0; k < 255; ++k) {
    EXPECT_EQ(reader.contours[static_cast<size_t>(k)].points[0].baseLevel, static_cast<float>(45 + k));
  }
}

TEST_F(CodedFileWriterTest, ContoursThatAChainCannotCarryAreCutAtTheFirstSuchPoint) {
  ContourCoder coder;
  setSize(coder, 10, 10);
  setContours(coder, {
                         makeContour({{2, 2}, {2, 3}, {2, 4}, {2, 3}, {2, 2}}),  // steps straight back
                         makeContour({{5, 1}, {5, 2}, {5, 3}, {5, 7}, {5, 8}}),  // jumps
                         makeContour({{8, 7}, {8, 8}, {8, 9}, {8, 10}}),         // leaves the image
                         makeContour({{-1, 0}, {0, 0}, {1, 0}}),                 // starts outside
                         makeContour({{1, 1}, {1, 1}, {1, 2}}),                  // repeats a point
                         makeContour({{7, 1}, {6, 2}}),                          // fine
                     });
  CodedFileSummary summary;
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm"), &summary));
  EXPECT_EQ(summary.contoursWritten, 4);
  EXPECT_EQ(summary.pointsWritten, 3 + 3 + 3 + 2);
  EXPECT_EQ(summary.contoursCut, 5);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("5 "), std::string::npos) << messages[0];

  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  ASSERT_EQ(reader.contourCount, 4);
  const std::vector<int32_t> counts = {3, 3, 3, 2};
  const std::vector<int32_t> firstRows = {2, 5, 8, 7};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(reader.contours[k].pointCount, counts[k]);
    EXPECT_EQ(reader.contours[k].points[0].row, firstRows[k]);
  }
}

TEST_F(CodedFileWriterTest, ImageSideAbove65535IsRefusedAndTheOldFileStays) {
  writeBytes(path("a.flm"), Bytes{1, 2, 3});
  ContourCoder coder;
  setSize(coder, 65536, 2);
  const Status status = coder.writeCodedFile(path("a.flm"));
  ASSERT_FALSE(status);
  EXPECT_NE(status.message().find("65536"), std::string::npos) << status.message();
  EXPECT_EQ(readBytes(path("a.flm")), (Bytes{1, 2, 3}));

  setSize(coder, 65535, 1);
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));
  ContourCoder reader;
  ASSERT_TRUE(reader.readCodedFile(path("a.flm")));
  EXPECT_EQ(reader.width, 65535);
  EXPECT_EQ(reader.height, 1);
}

TEST_F(CodedFileWriterTest, UnwritableFolderIsRefusedAndLeavesNoFile) {
  ContourCoder coder;
  setSize(coder, 4, 4);
  const Status status = coder.writeCodedFile(path("missing/a.flm"));
  ASSERT_FALSE(status);
  EXPECT_NE(status.message().find("missing/a.flm"), std::string::npos) << status.message();
  EXPECT_FALSE(std::filesystem::exists(path("missing")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 0);
}

TEST_F(CodedFileWriterTest, NoTemporaryFileRemainsAfterAWrite) {
  ContourCoder coder;
  buildThreePointModel(coder);
  writeBytes(path("a.flm"), Bytes(100, 0xAA));
  ASSERT_TRUE(coder.writeCodedFile(path("a.flm")));
  EXPECT_EQ(readBytes(path("a.flm")).size(), 29u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

}  // namespace
}  // namespace filamorph::testing
