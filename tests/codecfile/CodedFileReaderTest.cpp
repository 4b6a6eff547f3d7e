#include <gtest/gtest.h>

#include "CodedFileFixture.h"

namespace filamorph::testing {
namespace {

using CodedFileReaderTest = CodedFileTest;

// Ranks equal to the symbols: rank r is r one-bits and a zero, 7 is 1111111.
void writeIdentityRanks(BitFile& file) {
  for (uint32_t symbol = 0; symbol < 8; ++symbol) file.writeBits(symbol, 3);
}

void writeRank(BitFile& file, int rank) {
  for (int i = 0; i < rank; ++i) file.writeBits(1, 1);
  if (rank < 7) file.writeBits(0, 1);
}

void writeSize(BitFile& file, uint32_t bits, uint32_t rows, uint32_t cols) {
  file.writeBits(0xFF, 8);
  file.writeBits(0xD0, 8);
  file.writeBits(bits, 8);
  file.writeBits(rows, static_cast<int>(bits));
  file.writeBits(cols, static_cast<int>(bits));
}

void writeContourHeader(BitFile& file, uint32_t count) {
  file.writeBits(0xFF, 8);
  file.writeBits(0x90, 8);
  file.writeBits(count, 8);
  writeIdentityRanks(file);
}

// Start point, first step, turn symbols (identity ranks) and the end code.
void writeChain(BitFile& file, uint32_t row, uint32_t col, uint32_t firstStep, const std::vector<int>& turns) {
  file.writeBits(row, 3);
  file.writeBits(col, 3);
  file.writeBits(firstStep, 3);
  for (int turn : turns) writeRank(file, turn);
  writeRank(file, 7);
}

void writeAttributeMarker(BitFile& file) {
  file.writeBits(0xFF, 8);
  file.writeBits(0x80, 8);
}

// A 4 x 4 image (B = 3) with the contour (1,0), (1,1), (1,2) and its attributes.
void writeGoodFile(BitFile& file) {
  writeSize(file, 3, 4, 4);
  writeContourHeader(file, 1);
  writeChain(file, 1, 0, 0, {3});
  writeAttributeMarker(file);
  file.writeBits(1, 8);
  for (int j = 0; j < 3; ++j) file.writeBits(j * 10 + 1, 5), file.writeBits(2, 5);
  file.writeBits(1, 8);
  for (int j = 0; j < 3; ++j) file.writeBits(130, 8), file.writeBits(126, 8), file.writeBits(300 + j, 9);
}

void expectGoodModel(const ContourCoder& coder) {
  EXPECT_EQ(coder.width, 4);
  EXPECT_EQ(coder.height, 4);
  ASSERT_EQ(coder.contourCount, 1);
  ASSERT_EQ(coder.contours.size(), 1u);
  const Contour& contour = coder.contours[0];
  ASSERT_EQ(contour.pointCount, 3);
  for (int j = 0; j < 3; ++j) {
    const ContourPoint& point = contour.points[static_cast<size_t>(j)];
    EXPECT_EQ(point.row, 1);
    EXPECT_EQ(point.col, j);
    EXPECT_EQ(point.leftExtent, j * 10 + 1);
    EXPECT_EQ(point.rightExtent, 2);
    EXPECT_EQ(point.weightLeft, 2.0f);
    EXPECT_EQ(point.weightMiddle, -2.0f);
    EXPECT_EQ(point.weightRight, 0.0f);
    EXPECT_EQ(point.baseLevel, static_cast<float>(172 + j));
  }
  EXPECT_EQ(coder.symbolRanks, (std::array<int32_t, 8>{0, 1, 2, 3, 4, 5, 6, 7}));
}

struct BadFile {
  const char* name;
  std::function<void(BitFile&)> fields;  // written through a BitFile, zero padding included
  Bytes bytes;                           // used instead when fields is empty
  const char* reason;
};

TEST_F(CodedFileReaderTest, BadFilesAreRefusedAndTheModelStaysAsItWas) {
  const std::vector<BadFile> cases = {
      {"empty", {}, {}, "holds no compressed image"},
      {"a bitmap", {}, {'B', 'M', 0x36, 0, 0, 0}, "holds no compressed image"},
      {"size cut short", {}, {0xFF, 0xD0, 0x03}, "ends inside its size segment"},
      {"size fields wider than 16", [](BitFile& f) { writeSize(f, 17, 0, 0); }, {}, "17 bits wide"},
      {"marker cut short", {}, {0xFF, 0xD0, 0x00, 0xFF}, "ends inside a marker"},
      {"contours before size", [](BitFile& f) { writeContourHeader(f, 0); }, {}, "before any size segment"},
      {"attributes before contours",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeAttributeMarker(f);
       },
       {},
       "before any contour segment"},
      {"size after contours",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 0);
         writeSize(f, 3, 4, 4);
       },
       {},
       "size segment follows the contour segment"},
      {"start outside the image",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 1);
         writeChain(f, 4, 0, 0, {});
       },
       {},
       "contour 1 leaves the 4 x 4 image"},
      {"first step outside the image",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 1);
         writeChain(f, 0, 0, 4, {});
       },
       {},
       "contour 1 leaves the 4 x 4 image"},
      {"chain runs out of the image",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 2);
         writeChain(f, 0, 0, 0, {});
         writeChain(f, 1, 1, 0, {3, 3});
       },
       {},
       "contour 2 leaves the 4 x 4 image"},
      {"chain circles past its bound",
       [](BitFile& f) {
         // Turning right by a quarter (symbol 1) round a 2 x 2 image forever.
         writeSize(f, 2, 2, 2);
         writeContourHeader(f, 1);
         f.writeBits(0, 2);
         f.writeBits(0, 2);
         f.writeBits(0, 3);
         for (int i = 0; i < 40; ++i) writeRank(f, 1);
         writeRank(f, 7);
       },
       {},
       "contour 1 is longer than 32 points"},
      {"file ends inside the contours",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 2);
         writeChain(f, 1, 1, 0, {});
       },
       {},
       "ends inside its contour segment"},
      {"file ends inside a chain",
       [](BitFile& f) {
         // Without an end code the zero padding reads as turns that stay
         // near the start until the data run out.
         writeSize(f, 8, 200, 200);
         writeContourHeader(f, 1);
         f.writeBits(100, 8);
         f.writeBits(100, 8);
         f.writeBits(0, 3);
         writeRank(f, 3);
       },
       {},
       "ends inside its contour segment"},
      {"file ends inside the attributes",
       [](BitFile& f) {
         writeSize(f, 3, 4, 4);
         writeContourHeader(f, 1);
         writeChain(f, 1, 0, 0, {3});
         writeAttributeMarker(f);
         f.writeBits(1, 8);
         f.writeBits(1, 5);
         f.writeBits(1, 5);
       },
       {},
       "ends inside its attribute segment"},
  };
  for (const BadFile& bad : cases) {
    SCOPED_TRACE(bad.name);
    ContourCoder coder;
    writeFields(path("good.flm"), writeGoodFile);
    ASSERT_TRUE(coder.readCodedFile(path("good.flm")));
    if (bad.fields) {
      writeFields(path("bad.flm"), bad.fields);
    } else {
      writeBytes(path("bad.flm"), bad.bytes);
    }
    const Status status = coder.readCodedFile(path("bad.flm"));
    ASSERT_FALSE(status);
    EXPECT_NE(status.message().find(bad.reason), std::string::npos) << status.message();
    EXPECT_NE(status.message().find(path("bad.flm")), std::string::npos) << status.message();
    expectGoodModel(coder);
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(CodedFileReaderTest, MissingFileIsRefused) {
  ContourCoder coder;
  const Status status = coder.readCodedFile(path("absent.flm"));
  ASSERT_FALSE(status);
  EXPECT_NE(status.message().find("absent.flm"), std::string::npos) << status.message();
}

TEST_F(CodedFileReaderTest, ReadingReplacesTheModelAndSelectsEveryContour) {
  ContourCoder coder;
  setSize(coder, 9, 9);
  setContours(coder, {makeContour({{1, 1}, {1, 2}}, 0), makeContour({{3, 3}, {4, 4}})});
  coder.contoursReady = 1;
  writeFields(path("good.flm"), writeGoodFile);
  ASSERT_TRUE(coder.readCodedFile(path("good.flm")));
  expectGoodModel(coder);
  EXPECT_EQ(coder.contours[0].selected, 1);
  EXPECT_EQ(coder.contoursReady, 0);  // the traced table is gone
}

TEST_F(CodedFileReaderTest, UnknownMarkerAfterCompleteSegmentsKeepsWhatWasRead) {
  writeFields(path("a.flm"), [](BitFile& f) {
    writeGoodFile(f);
    f.writeBits(0xFF, 8);
    f.writeBits(0x12, 8);
    f.writeBits(0xABCD, 16);
  });
  ContourCoder coder;
  ASSERT_TRUE(coder.readCodedFile(path("a.flm")));
  expectGoodModel(coder);
  EXPECT_EQ(messages, std::vector<std::string>{"End of the file"});
}

TEST_F(CodedFileReaderTest, UnknownMarkerBeforeAnySegmentReadsNothing) {
  writeBytes(path("a.flm"), Bytes{0xFF, 0x12, 0x00});
  ContourCoder coder;
  writeFields(path("good.flm"), writeGoodFile);
  ASSERT_TRUE(coder.readCodedFile(path("good.flm")));
  EXPECT_FALSE(coder.readCodedFile(path("a.flm")));
  EXPECT_EQ(messages, std::vector<std::string>{"End of the file"});
  expectGoodModel(coder);
}

TEST_F(CodedFileReaderTest, SizeSegmentAloneGivesAnImageWithoutContours) {
  writeFields(path("a.flm"), [](BitFile& f) { writeSize(f, 4, 9, 12); });
  ContourCoder coder;
  setContours(coder, {makeContour({{1, 1}, {1, 2}})});
  ASSERT_TRUE(coder.readCodedFile(path("a.flm")));
  EXPECT_EQ(coder.rows, 9);
  EXPECT_EQ(coder.cols, 12);
  EXPECT_EQ(coder.contourCount, 0);
  EXPECT_TRUE(coder.contours.empty());
}

TEST_F(CodedFileReaderTest, ContoursWithoutAttributesKeepZeroProfiles) {
  writeFields(path("a.flm"), [](BitFile& f) {
    writeSize(f, 3, 4, 4);
    writeContourHeader(f, 1);
    writeChain(f, 3, 0, 1, {4});  // north-east, then a turn to north
  });
  ContourCoder coder;
  ASSERT_TRUE(coder.readCodedFile(path("a.flm")));
  ASSERT_EQ(coder.contourCount, 1);
  const Contour& contour = coder.contours[0];
  ASSERT_EQ(contour.pointCount, 3);
  EXPECT_EQ(contour.points[2].row, 1);
  EXPECT_EQ(contour.points[2].col, 1);
  EXPECT_EQ(contour.points[2].chainCode, 4);
  EXPECT_EQ(contour.points[1].baseLevel, 0.0f);
  EXPECT_EQ(contour.top, 1);
  EXPECT_EQ(contour.spanRows, 2);
  EXPECT_EQ(contour.spanCols, 1);
}

TEST_F(CodedFileReaderTest, MeanPositionIsTheExactMeanRoundedOnce) {
  // Row sum 4001 x 5001 = 20009001 is odd and above 2^24: rounding it to a
  // float before dividing would move the mean off 4001.
  std::vector<std::pair<int32_t, int32_t>> run;
  for (int32_t col = 0; col <= 5000; ++col) run.emplace_back(4001, col);
  ContourCoder writer;
  setSize(writer, 5001, 4002);
  setContours(writer, {makeContour(run)});
  ASSERT_TRUE(writer.writeCodedFile(path("run.flm")));

  ContourCoder coder;
  ASSERT_TRUE(coder.readCodedFile(path("run.flm")));
  ASSERT_EQ(coder.contourCount, 1);
  ASSERT_EQ(coder.contours[0].pointCount, 5001);
  EXPECT_EQ(coder.contours[0].meanRow, 4001.0f);
  EXPECT_EQ(coder.contours[0].meanCol, 2500.0f);
}

struct Steps {
  uint32_t extentStep;
  uint32_t weightStep;
};

TEST_F(CodedFileReaderTest, ExtentAndWeightStepsCoverRunsOfPoints) {
  // A straight contour of five points; entry k of a run carries value k.
  for (const Steps steps : {Steps{0, 0}, Steps{1, 1}, Steps{2, 3}, Steps{5, 4}, Steps{9, 200}}) {
    SCOPED_TRACE(::testing::Message() << "S " << steps.extentStep << ", T " << steps.weightStep);
    const auto runs = [](uint32_t step) { return step == 0 ? 1u : (5 + step - 1) / step; };
    writeFields(path("a.flm"), [&](BitFile& f) {
      writeSize(f, 3, 5, 5);
      writeContourHeader(f, 1);
      writeChain(f, 2, 0, 0, {3, 3, 3});
      writeAttributeMarker(f);
      f.writeBits(steps.extentStep, 8);
      for (uint32_t k = 0; k < runs(steps.extentStep); ++k) f.writeBits(k, 5), f.writeBits(31 - k, 5);
      f.writeBits(steps.weightStep, 8);
      const int baseBits = steps.weightStep == 0 ? 8 : 9;
      for (uint32_t k = 0; k < runs(steps.weightStep); ++k) {
        f.writeBits(128 + k, 8), f.writeBits(120 - k, 8), f.writeBits(255 + k, baseBits);
      }
    });
    ContourCoder coder;
    ASSERT_TRUE(coder.readCodedFile(path("a.flm")));
    ASSERT_EQ(coder.contourCount, 1);
    ASSERT_EQ(coder.contours[0].pointCount, 5);
    for (uint32_t j = 0; j < 5; ++j) {
      const ContourPoint& point = coder.contours[0].points[j];
      const auto extentRun = static_cast<int16_t>(steps.extentStep == 0 ? 0 : j / steps.extentStep);
      const auto weightRun = static_cast<float>(steps.weightStep == 0 ? 0 : j / steps.weightStep);
      EXPECT_EQ(point.leftExtent, extentRun) << "point " << j;
      EXPECT_EQ(point.rightExtent, 31 - extentRun) << "point " << j;
      EXPECT_EQ(point.weightLeft, weightRun) << "point " << j;
      EXPECT_EQ(point.weightMiddle, -8.0f - weightRun) << "point " << j;
      EXPECT_EQ(point.weightRight, 8.0f) << "point " << j;
      EXPECT_EQ(point.baseLevel, 127.0f + weightRun) << "point " << j;
    }
  }
}

}  // namespace
}  // namespace filamorph::testing
