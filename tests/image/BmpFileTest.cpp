// The BMP reader and writer on small files built byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "BmpBuilder.h"
#include "image/BmpFile.h"

namespace filamorph {
namespace {

using testing::BmpLayout;
using testing::buildBmp;
using testing::put16;
using testing::put32;

Status decode(const std::vector<uint8_t>& bytes, Bitmap& out) { return decodeBmp(bytes, out); }

TEST(BmpDecode, TopDownAndBottomUpRowsGiveTheSamePictureWithoutPadding) {
  // Two rows of three 24-bit pixels: 9 bytes and 3 bytes of padding each.
  const std::vector<uint8_t> top = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE};
  const std::vector<uint8_t> bottom = {11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
  std::vector<uint8_t> bottomUp(bottom);
  bottomUp.insert(bottomUp.end(), top.begin(), top.end());
  std::vector<uint8_t> topDown(top);
  topDown.insert(topDown.end(), bottom.begin(), bottom.end());

  Bitmap fromBottomUp;
  Bitmap fromTopDown;
  ASSERT_TRUE(decode(buildBmp({.width = 3, .height = 2}, bottomUp), fromBottomUp).ok());
  ASSERT_TRUE(decode(buildBmp({.width = 3, .height = -2}, topDown), fromTopDown).ok());

  const std::vector<uint8_t> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  for (const Bitmap* bitmap : {&fromBottomUp, &fromTopDown}) {
    EXPECT_EQ(bitmap->format, PixelFormat::Bits24);
    EXPECT_EQ(bitmap->width, 3);
    EXPECT_EQ(bitmap->height, 2);
    EXPECT_EQ(bitmap->pixels, expected);
    EXPECT_EQ(bitmap->pixel(0, 0), 0x010203u);  // red 3 in the low byte, blue 1 in the third
  }
}

TEST(BmpDecode, PaletteIsReadAsStoredAndIndicesBeyondItReadAsGray) {
  const BmpLayout layout{.width = 5, .height = 1, .bitCount = 8, .colorsUsed = 2, .paletteEntries = 2};
  Bitmap bitmap;
  ASSERT_TRUE(decode(buildBmp(layout, {0, 1, 7, 0, 1, 0, 0, 0}), bitmap).ok());
  ASSERT_EQ(bitmap.format, PixelFormat::Bits8);
  ASSERT_EQ(bitmap.palette.size(), 2u);
  EXPECT_EQ(bitmap.pixels, (std::vector<uint8_t>{0, 1, 7, 0, 1}));
  EXPECT_EQ(bitmap.pixel(0, 0), 0xFF0000u);  // entry 0: blue 255, green 0, red 0
  EXPECT_EQ(bitmap.pixel(1, 0), 0xFE0100u);  // entry 1: blue 254, green 1, red 0
  EXPECT_EQ(bitmap.pixel(2, 0), 0x070707u);
}

TEST(BmpDecode, CoreHeaderPaletteLengthComesFromTheGapBeforeThePixels) {
  // An OS/2 1.x header never states its palette length; three 3-byte entries
  // stored with colorsUsed unknown.
  const BmpLayout layout{.width = 4, .height = 2, .bitCount = 8, .headerBytes = 12, .paletteEntries = 3};
  Bitmap bitmap;
  ASSERT_TRUE(decode(buildBmp(layout), bitmap).ok());
  EXPECT_EQ(bitmap.format, PixelFormat::Bits8);
  EXPECT_EQ(bitmap.palette.size(), 3u);
  EXPECT_EQ(bitmap.scanLine(0)[0], 16);  // the second stored row is the top row
  EXPECT_EQ(bitmap.scanLine(1)[3], 3);
  EXPECT_EQ(bitmap.pixel(2, 1), 0xFD0201u);  // entry 2: blue 253, green 2, red 1
}

TEST(BmpDecode, AbsurdColourCountNeverReadsBeyondTheStoredPalette) {
  const BmpLayout layout{.width = 4, .height = 2, .bitCount = 8, .colorsUsed = 0xFFFFFFF0u, .paletteEntries = 300};
  Bitmap bitmap;
  ASSERT_TRUE(decode(buildBmp(layout), bitmap).ok());
  EXPECT_EQ(bitmap.palette.size(), 256u);

  const BmpLayout shortPalette{.width = 4, .height = 2, .bitCount = 8, .colorsUsed = 200, .paletteEntries = 5};
  ASSERT_TRUE(decode(buildBmp(shortPalette), bitmap).ok());
  EXPECT_EQ(bitmap.palette.size(), 5u);
}

struct FormatCase {
  uint16_t bitCount;
  uint32_t compression;
  uint32_t headerBytes;
  PixelFormat expected;
};

TEST(BmpDecode, ReportsThePixelFormatOfEveryKindOfHeader) {
  const FormatCase cases[] = {
      {1, 0, 40, PixelFormat::Bits1},      {2, 0, 40, PixelFormat::Bits2},
      {4, 0, 108, PixelFormat::Bits4},     {8, 0, 124, PixelFormat::Bits8},
      {8, 0, 16, PixelFormat::Bits8},      {16, 0, 40, PixelFormat::Bits16},
      {24, 0, 64, PixelFormat::Bits24},    {32, 0, 40, PixelFormat::Bits32},
      {64, 0, 40, PixelFormat::Bits64},    {16, 3, 40, PixelFormat::Bits16},
      {32, 3, 56, PixelFormat::Bits32},    {32, 6, 40, PixelFormat::Bits32},
      {8, 1, 40, PixelFormat::Compressed}, {4, 2, 40, PixelFormat::Compressed},
      {0, 4, 124, PixelFormat::Compressed}, {0, 5, 124, PixelFormat::Compressed},
      {1, 3, 64, PixelFormat::Compressed},  // OS/2 Huffman 1D
      {24, 4, 64, PixelFormat::Compressed},  // OS/2 RLE24
  };
  for (const FormatCase& c : cases) {
    const BmpLayout layout{.width = 7, .height = 3, .bitCount = c.bitCount, .compression = c.compression,
                       .headerBytes = c.headerBytes};
    Bitmap bitmap;
    const Status status = decode(buildBmp(layout), bitmap);
    ASSERT_TRUE(status.ok()) << c.bitCount << " bits, compression " << c.compression << ": " << status.message();
    EXPECT_EQ(bitmap.format, c.expected) << c.bitCount << " bits, compression " << c.compression;
    EXPECT_EQ(bitmap.width, 7);
    EXPECT_EQ(bitmap.height, 3);
    EXPECT_EQ(bitmap.pixels.empty(), !bitmap.hasPixels());
  }
}

TEST(BmpDecode, CompressedDataNeedNotFillTheRows) {
  Bitmap bitmap;
  const BmpLayout layout{.width = 1000, .height = 1000, .bitCount = 8, .compression = 1};
  ASSERT_TRUE(decode(buildBmp(layout, {0, 1}), bitmap).ok());  // end-of-bitmap code only
  EXPECT_EQ(bitmap.format, PixelFormat::Compressed);
}

struct MalformedCase {
  const char* what;
  std::vector<uint8_t> bytes;
  const char* message;  // part of the expected failure message
};

std::vector<uint8_t> bent(BmpLayout layout, void (*bend)(std::vector<uint8_t>&) = nullptr) {
  std::vector<uint8_t> bytes = buildBmp(layout);
  if (bend) bend(bytes);
  return bytes;
}

TEST(BmpDecode, MalformedFilesFailWithAMessageNamingTheFault) {
  const BmpLayout rgb{.width = 3, .height = 2};
  const MalformedCase cases[] = {
      {"empty file", {}, "signature"},
      {"bitmap array", bent(rgb, [](auto& b) { b[1] = 'A'; }), "signature"},
      {"cut in the file header", {'B', 'M', 0, 0, 0, 0, 0, 0}, "ends inside the bitmap header"},
      {"cut in the info header", bent(rgb, [](auto& b) { b.resize(30); }), "ends inside the bitmap header"},
      {"header size 66", bent(rgb, [](auto& b) { put32(b, 14, 66); }), "header size 66"},
      {"header size 0", bent(rgb, [](auto& b) { put32(b, 14, 0); }), "header size 0"},
      {"two planes", bent({.planes = 2}), "2 planes"},
      {"width 0", bent(rgb, [](auto& b) { put32(b, 18, 0); }), "width 0"},
      {"negative width", bent(rgb, [](auto& b) { put32(b, 18, static_cast<uint32_t>(-3)); }), "width -3"},
      {"height 0", bent(rgb, [](auto& b) { put32(b, 22, 0); }), "height 0"},
      {"core header width 0", bent({.bitCount = 8, .headerBytes = 12}, [](auto& b) { put16(b, 18, 0); }),
       "width 0"},
      {"bit count 3", bent({.bitCount = 3}), "bit count 3"},
      {"bit count 30000", bent(rgb, [](auto& b) { put16(b, 28, 30000); }), "bit count 30000"},
      {"bit fields with 24 bits", bent({.bitCount = 24, .compression = 3}), "bit-field"},
      {"pixel count past the limit",
       bent(rgb, [](auto& b) { put32(b, 18, 1 << 15); put32(b, 22, 1 << 14); }), "larger than the limit"},
      {"pixel count overflowing 32 bits",
       bent(rgb, [](auto& b) { put32(b, 18, 1 << 16); put32(b, 22, static_cast<uint32_t>(-(1 << 16))); }),
       "larger than the limit"},
      {"largest width and height",
       bent(rgb, [](auto& b) { put32(b, 18, 0x7FFFFFFFu); put32(b, 22, 0x7FFFFFFFu); }), "larger than the limit"},
      {"most negative height",
       bent(rgb, [](auto& b) { put32(b, 22, 0x80000000u); }), "larger than the limit"},
      {"offset past the end", bent(rgb, [](auto& b) { put32(b, 10, static_cast<uint32_t>(b.size() + 1)); }),
       "past the end of the file"},
      {"offset 0xFFFFFFFF", bent(rgb, [](auto& b) { put32(b, 10, 0xFFFFFFFFu); }), "past the end of the file"},
      {"offset inside the header", bent(rgb, [](auto& b) { put32(b, 10, 20); }), "inside the bitmap header"},
      {"last row cut short", bent(rgb, [](auto& b) { b.resize(b.size() - 4); }), "ends before the last row"},
      {"rows past the end of a 1-bit file", bent({.width = 100, .height = 50, .bitCount = 1},
                                                 [](auto& b) { b.resize(b.size() - 13); }),
       "ends before the last row"},
  };
  for (const MalformedCase& c : cases) {
    Bitmap bitmap = Bitmap::make24(2, 2);
    const Status status = decode(c.bytes, bitmap);
    ASSERT_FALSE(status.ok()) << c.what;
    EXPECT_NE(status.message().find(c.message), std::string::npos) << c.what << ": " << status.message();
    EXPECT_EQ(bitmap.width, 2) << c.what << ": the output changed on failure";
  }
}

TEST(BmpDecode, LastRowMayOmitItsPadding) {
  std::vector<uint8_t> bytes = buildBmp({.width = 3, .height = 2});
  bytes.resize(bytes.size() - 3);
  Bitmap bitmap;
  ASSERT_TRUE(decode(bytes, bitmap).ok());
  EXPECT_EQ(bitmap.scanLine(0)[8], 16 + 8);  // last byte of the top row, stored second
}

TEST(BmpDecode, EveryTruncationOfAFileFailsCleanlyOrKeepsAllRows) {
  const std::vector<uint8_t> whole =
      buildBmp({.width = 5, .height = -3, .bitCount = 8, .colorsUsed = 4, .paletteEntries = 4});
  const std::size_t lastRowEnd = whole.size() - 3;  // the last row's padding may go
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    Bitmap bitmap;
    const Status status = decode(prefix, bitmap);
    EXPECT_EQ(status.ok(), length >= lastRowEnd) << length << " bytes: " << status.message();
    EXPECT_TRUE(status.ok() || !status.message().empty());
  }
}

class BmpWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("bmp-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_), {}));
  }

  std::filesystem::path folder_;
};

TEST_F(BmpWriteTest, EightAndTwentyFourBitPicturesSurviveARoundTrip) {
  Bitmap indexed;
  indexed.width = 5;  // three bytes of padding per row
  indexed.height = 3;
  indexed.format = PixelFormat::Bits8;
  indexed.palette = {0x0000FF, 0x00FF00, 0xFF0000};
  for (int i = 0; i < 15; ++i) indexed.pixels.push_back(static_cast<uint8_t>(i % 3));

  Bitmap rgb = Bitmap::make24(3, 2);  // nine bytes and three of padding per row
  for (std::size_t i = 0; i < rgb.pixels.size(); ++i) rgb.pixels[i] = static_cast<uint8_t>(i * 13);

  for (const Bitmap* original : {&indexed, &rgb}) {
    ASSERT_TRUE(writeBmpFile(path("round.bmp"), *original).ok());
    Bitmap back;
    ASSERT_TRUE(readBmpFile(path("round.bmp"), back).ok());
    EXPECT_EQ(back.format, original->format);
    EXPECT_EQ(back.width, original->width);
    EXPECT_EQ(back.height, original->height);
    EXPECT_EQ(back.pixels, original->pixels);
    EXPECT_EQ(back.palette, original->palette);
  }
  EXPECT_EQ(entries(), 1u);
}

TEST_F(BmpWriteTest, EightBitPictureWithoutPaletteGetsAGrayRamp) {
  Bitmap indexed;
  indexed.width = 2;
  indexed.height = 1;
  indexed.format = PixelFormat::Bits8;
  indexed.pixels = {0, 200};
  ASSERT_TRUE(writeBmpFile(path("ramp.bmp"), indexed).ok());
  Bitmap back;
  ASSERT_TRUE(readBmpFile(path("ramp.bmp"), back).ok());
  ASSERT_EQ(back.palette.size(), 256u);
  EXPECT_EQ(back.pixel(1, 0), 0xC8C8C8u);
}

TEST_F(BmpWriteTest, RefusedPicturesLeaveNoFileBehind) {
  Bitmap noPixels;
  noPixels.width = 4;
  noPixels.height = 4;
  noPixels.format = PixelFormat::Bits16;
  Bitmap tooFewPixels = Bitmap::make24(4, 4);
  tooFewPixels.pixels.resize(10);
  for (const Bitmap& bitmap : {noPixels, Bitmap{}, Bitmap::make24(0, 3), tooFewPixels}) {
    const Status status = writeBmpFile(path("refused.bmp"), bitmap);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("refused.bmp"), std::string::npos) << status.message();
  }
  EXPECT_FALSE(writeBmpFile(path("missing-folder/x.bmp"), Bitmap::make24(2, 2)).ok());
  EXPECT_EQ(entries(), 0u);
}

TEST_F(BmpWriteTest, ReadingAMissingOrUnreadableFileNamesIt) {
  Bitmap bitmap;
  const Status missing = readBmpFile(path("absent.bmp"), bitmap);
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("absent.bmp"), std::string::npos);
  const Status folder = readBmpFile(folder_.string(), bitmap);
  EXPECT_FALSE(folder.ok());
}

}  // namespace
}  // namespace filamorph
