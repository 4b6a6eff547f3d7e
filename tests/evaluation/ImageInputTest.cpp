// PNG and PGM pictures reach the codec as 24-bit bitmaps: gray levels exactly,
// colours through the bitmap import's weights, hostile headers refused.
#include <gtest/gtest.h>
#include <png.h>

#include <string>

#include "EvaluationFixture.h"
#include "evaluation/GrayInput.h"
#include "evaluation/PngEncoding.h"
#include "image/ImageInput.h"

namespace filamorph::evaluation {
namespace {

using ImageInputTest = testing::EvaluationTest;

Plane<uint8_t> ramp(int rows, int cols) {
  Plane<uint8_t> plane;
  plane.allocate(rows, cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) plane[r][c] = static_cast<uint8_t>((r * 37 + c * 11) & 0xFF);
  }
  return plane;
}

void expectPlane(const GrayInput& input, const Plane<uint8_t>& expected) {
  ASSERT_TRUE(input.status.ok()) << input.status.message();
  ASSERT_EQ(input.plane.rows(), expected.rows());
  ASSERT_EQ(input.plane.cols(), expected.cols());
  for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(input.plane.data()[i], expected.data()[i]) << i;
}

TEST_F(ImageInputTest, GrayPngAndPgmImportTheirLevelsExactly) {
  const Plane<uint8_t> expected = ramp(9, 14);
  const std::vector<uint8_t> png = encodeGrayPng(expected);
  writeBytes(file("ramp.png"), std::string(png.begin(), png.end()));
  writeBytes(file("ramp.pgm"), "P5\n# a comment\n14 9\n255\n" +
                                   std::string(reinterpret_cast<const char*>(expected.data()), expected.size()));
  EXPECT_EQ(sniffImageFile(file("ramp.png")), ImageFileKind::Png);
  EXPECT_EQ(sniffImageFile(file("ramp.pgm")), ImageFileKind::Netpbm);
  expectPlane(readGrayInput(file("ramp.png")), expected);
  expectPlane(readGrayInput(file("ramp.pgm")), expected);
}

TEST_F(ImageInputTest, ColourPngImportsLikeTheSame24BitBitmap) {
  const int width = 5;
  const int height = 3;
  std::vector<uint8_t> rgb;
  Bitmap bitmap = Bitmap::make24(width, height);
  for (int i = 0; i < width * height; ++i) {
    const uint8_t red = static_cast<uint8_t>(i * 17), green = static_cast<uint8_t>(255 - i * 13),
                  blue = static_cast<uint8_t>(i * 29 % 256);
    rgb.insert(rgb.end(), {red, green, blue});
    bitmap.pixels[3 * i] = blue;
    bitmap.pixels[3 * i + 1] = green;
    bitmap.pixels[3 * i + 2] = red;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGB;
  ASSERT_TRUE(png_image_write_to_file(&image, file("colour.png").c_str(), 0, rgb.data(), 0, nullptr));
  ASSERT_TRUE(writeBmpFile(file("colour.bmp"), bitmap));

  const GrayInput fromBitmap = readGrayInput(file("colour.bmp"));
  ASSERT_TRUE(fromBitmap.status.ok());
  expectPlane(readGrayInput(file("colour.png")), fromBitmap.plane);
  EXPECT_EQ(fromBitmap.plane[0][1], 150);  // 0.299 * 17 + 0.587 * 242 + 0.114 * 29, rounded
}

TEST_F(ImageInputTest, RefusesBrokenAndHostileFilesWithAMessage) {
  const std::vector<uint8_t> png = encodeGrayPng(ramp(30, 30));
  writeBytes(file("cut.png"), std::string(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2)));
  writeBytes(file("huge.pgm"), "P5\n100000 100000\n255\n");
  writeBytes(file("nosize.pgm"), "P5\n#\n");
  const std::pair<const char*, ErrorKind> cases[] = {{"cut.png", ErrorKind::MalformedFile},
                                                     {"huge.pgm", ErrorKind::MalformedFile},
                                                     {"nosize.pgm", ErrorKind::MalformedFile},
                                                     {"missing.png", ErrorKind::InputOutput}};
  for (const auto& [name, kind] : cases) {
    SCOPED_TRACE(name);
    const GrayInput input = readGrayInput(file(name));
    EXPECT_EQ(input.status.kind(), kind);
    EXPECT_NE(input.status.message().find(name), std::string::npos) << input.status.message();
  }
}

TEST_F(ImageInputTest, BitmapsKeepTheirOwnImportRules) {
  // A 4-bit bitmap is refused by the import itself, not converted.
  const GrayInput refused = readGrayInput(testing::testImage("bmpsuite/g/pal4.bmp").string());
  EXPECT_EQ(refused.status.kind(), ErrorKind::UnsupportedPixelFormat);
}

}  // namespace
}  // namespace filamorph::evaluation
