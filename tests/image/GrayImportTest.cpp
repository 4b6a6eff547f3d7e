// Gray import from a control's bitmap, inversion and gray display.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "MessageRecorder.h"
#include "base/Messages.h"
#include "image/GrayImage.h"

namespace filamorph {
namespace {

Bitmap indexedBitmap(int32_t width, int32_t height, std::vector<uint8_t> indices, std::vector<Color> palette) {
  Bitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.format = PixelFormat::Bits8;
  bitmap.pixels = std::move(indices);
  bitmap.palette = std::move(palette);
  return bitmap;
}

std::vector<uint8_t> planeBytes(const GrayImage& image) {
  return std::vector<uint8_t>(image.grayPlane.data(), image.grayPlane.data() + image.grayPlane.size());
}

// Imports a picture into a fresh object through a control.
void importPicture(GrayImage& image, Bitmap picture) {
  ImageControl control;
  control.assign(std::move(picture));
  ASSERT_TRUE(image.importBitmap(control).ok());
}

struct ColourCase {
  uint8_t blue, green, red;
  uint8_t gray;
};

TEST(GrayImport, TwentyFourBitPixelsTakeTheWeightedSumRoundedHalfUp) {
  const ColourCase cases[] = {
      {255, 0, 0, 29},
      {0, 0, 255, 76},
      {0, 255, 0, 150},
      {255, 255, 255, 255},
      {0, 0, 0, 0},
      // Sums close to a half: a different order of the additions, float
      // arithmetic or a fused multiply-add each gets one of these wrong.
      {5, 13, 1, 9},
      {12, 36, 0, 22},
      {163, 114, 0, 86},
  };
  constexpr int32_t count = static_cast<int32_t>(std::size(cases));
  Bitmap picture = Bitmap::make24(count, 2);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* bgr = picture.scanLine(1) + 3 * i;  // the bottom row; the top stays black
    bgr[0] = cases[i].blue;
    bgr[1] = cases[i].green;
    bgr[2] = cases[i].red;
  }
  GrayImage image;
  importPicture(image, std::move(picture));
  ASSERT_EQ(image.grayPlaneAllocated, 1);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_EQ(image.grayPlane[0][i], 0);
    EXPECT_EQ(image.grayPlane[1][i], cases[i].gray)
        << "blue " << +cases[i].blue << " green " << +cases[i].green << " red " << +cases[i].red;
  }
}

TEST(GrayImport, EqualColourBytesGiveThatLevel) {
  Bitmap picture = Bitmap::make24(256, 1);
  for (int v = 0; v < 256; ++v) {
    for (int k = 0; k < 3; ++k) picture.pixels[3 * v + k] = static_cast<uint8_t>(v);
  }
  GrayImage image;
  importPicture(image, std::move(picture));
  for (int v = 0; v < 256; ++v) EXPECT_EQ(image.grayPlane[0][v], v);
}

TEST(GrayImport, EightBitPixelsAreTakenAsIndicesWithoutThePalette) {
  GrayImage image;
  importPicture(image, indexedBitmap(3, 2, {0, 1, 2, 250, 7, 3}, {0x0000FF, 0x00FF00, 0xFF0000}));
  ASSERT_EQ(image.grayPlaneAllocated, 1);
  EXPECT_EQ(image.rows, 2);
  EXPECT_EQ(image.cols, 3);
  EXPECT_EQ(planeBytes(image), (std::vector<uint8_t>{0, 1, 2, 250, 7, 3}));
}

TEST(GrayImport, FormatsWithoutReadablePixelsAreRefusedAndLeaveNoPlaneNorName) {
  for (PixelFormat format : {PixelFormat::Bits1, PixelFormat::Bits2, PixelFormat::Bits4, PixelFormat::Bits16,
                             PixelFormat::Bits32, PixelFormat::Bits64, PixelFormat::Compressed, PixelFormat::None}) {
    testing::MessageRecorder messages;
    GrayImage image;
    image.storeFileName("earlier.bmp");
    importPicture(image, Bitmap::make24(4, 4));  // an earlier plane to be replaced
    image.filteredPlane.allocate(4, 4);
    image.filteredPlaneAllocated = 1;

    ImageControl control;
    control.picture.width = format == PixelFormat::None ? 0 : 50000;  // pixels are never allocated
    control.picture.height = format == PixelFormat::None ? 0 : 40000;
    control.picture.format = format;
    const Status imported = image.importBitmap(control);

    const int which = static_cast<int>(format);
    EXPECT_EQ(imported.kind(), ErrorKind::UnsupportedPixelFormat) << which;
    EXPECT_EQ(messages.texts, std::vector<std::string>{kUnsupportedPixelFormat}) << which;
    EXPECT_EQ(image.grayPlaneAllocated, 0) << which;
    EXPECT_FALSE(image.grayPlane.exists()) << which;
    EXPECT_EQ(image.filteredPlaneAllocated, 0) << which;
    EXPECT_FALSE(image.filteredPlane.exists()) << which;
    EXPECT_FALSE(image.fileName.has_value()) << which;
    EXPECT_EQ(image.imageReplaced, 1) << which;
    EXPECT_EQ(image.width, control.picture.width) << which;
    EXPECT_EQ(image.cols, control.picture.width) << which;
    EXPECT_EQ(image.height, control.picture.height) << which;
    EXPECT_EQ(image.rows, control.picture.height) << which;
  }
}

TEST(GrayImport, SecondImportReplacesThePlaneAndForgetsTheFileName) {
  testing::MessageRecorder messages;
  GrayImage image;
  ImageControl control;
  image.storeFileName("first.bmp");
  control.assign(Bitmap::make24(3, 2));
  EXPECT_TRUE(image.importBitmap(control).ok());
  EXPECT_EQ(control.hint, "first.bmp");
  EXPECT_EQ(image.imageReplaced, 0);
  ASSERT_TRUE(image.fileName.has_value());

  control.assign(indexedBitmap(2, 1, {9, 8}, {}));
  EXPECT_TRUE(image.importBitmap(control).ok());
  EXPECT_EQ(control.hint, "first.bmp");  // the hint is set before the old name goes
  EXPECT_EQ(image.imageReplaced, 1);
  EXPECT_FALSE(image.fileName.has_value());
  EXPECT_EQ(planeBytes(image), (std::vector<uint8_t>{9, 8}));

  image.showGray(control);
  EXPECT_EQ(control.hint, "");
  EXPECT_TRUE(image.importBitmap(control).ok());
  EXPECT_EQ(control.hint, "");
  EXPECT_EQ(image.imageReplaced, 1);
  EXPECT_TRUE(messages.texts.empty());
}

TEST(GrayImport, EmptyTwentyFourBitPictureGivesAnEmptyPlane) {
  GrayImage image;
  importPicture(image, Bitmap::make24(0, 0));
  EXPECT_EQ(image.grayPlaneAllocated, 1);
  EXPECT_EQ(image.grayPlane.size(), 0u);
  EXPECT_EQ(image.rows, 0);
  EXPECT_EQ(image.cols, 0);
}

TEST(GrayImage, StoredFileNameIsKeptWhole) {
  GrayImage image;
  const std::string longName = "/images/" + std::string(400, 'x') + ".bmp";
  image.storeFileName(longName);
  EXPECT_EQ(image.fileName, longName);
  image.storeFileName("short.bmp");
  EXPECT_EQ(image.fileName, "short.bmp");
}

TEST(GrayImage, InvertTakesTheNegativeAndTwiceRestoresThePlane) {
  GrayImage image;
  importPicture(image, indexedBitmap(5, 2, {0, 128, 255, 1, 127, 64, 200, 3, 254, 99}, {}));
  const std::vector<uint8_t> original = planeBytes(image);
  image.invert();
  EXPECT_EQ(planeBytes(image), (std::vector<uint8_t>{255, 127, 0, 254, 128, 191, 55, 252, 1, 156}));
  image.invert();
  EXPECT_EQ(planeBytes(image), original);

  GrayImage empty;
  empty.invert();  // no plane: nothing to do
  EXPECT_FALSE(empty.grayPlane.exists());
}

TEST(GrayImage, IsInsideCoversExactlyTheImage) {
  GrayImage image;
  EXPECT_FALSE(image.isInside(0, 0));
  image.width = 5;
  EXPECT_FALSE(image.isInside(0, 0));  // height still 0
  image.height = 3;
  EXPECT_TRUE(image.isInside(0, 0));
  EXPECT_TRUE(image.isInside(2, 4));
  EXPECT_FALSE(image.isInside(3, 4));
  EXPECT_FALSE(image.isInside(2, 5));
  EXPECT_FALSE(image.isInside(-1, 0));
  EXPECT_FALSE(image.isInside(0, -1));
}

TEST(ShowGray, DrawsTheObjectsOwnPlaneAsGrayPixelsOfItsSize) {
  GrayImage analysis;
  importPicture(analysis, indexedBitmap(3, 2, {10, 20, 30, 40, 50, 60}, {}));
  analysis.storeFileName("scene.bmp");
  GrayImage reconstruction;
  importPicture(reconstruction, indexedBitmap(1, 1, {77}, {}));

  ImageControl control;
  control.autoSize = true;
  control.assign(indexedBitmap(4, 4, std::vector<uint8_t>(16, 1), {}));
  int repaints = 0;
  control.onRepaint = [&] { ++repaints; };

  analysis.showGray(control);
  EXPECT_EQ(control.hint, "scene.bmp");
  ASSERT_EQ(control.picture.format, PixelFormat::Bits24);
  EXPECT_EQ(control.picture.width, 3);
  EXPECT_EQ(control.picture.height, 2);
  EXPECT_EQ(control.width, 3);
  EXPECT_EQ(control.height, 2);
  EXPECT_EQ(control.picture.pixels,
            (std::vector<uint8_t>{10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40, 50, 50, 50, 60, 60, 60}));
  EXPECT_EQ(repaints, 1);

  reconstruction.showGray(control);  // smaller than the picture shown: the picture shrinks
  EXPECT_EQ(control.hint, "");
  EXPECT_EQ(control.picture.pixels, (std::vector<uint8_t>{77, 77, 77}));
  EXPECT_EQ(control.repaintCount, 2);

  analysis.invert();
  analysis.showGray(control);
  EXPECT_EQ(control.picture.pixel(2, 1), 0xC3C3C3u);  // 255 - 60
}

TEST(ShowGray, WithoutAPlaneLeavesThePictureAndStillRepaints) {
  GrayImage image;
  image.rows = image.height = 100;  // a size without a plane, as after a refused import
  image.cols = image.width = 100;
  ImageControl control;
  control.assign(Bitmap::make24(2, 2));
  image.showGray(control);
  EXPECT_EQ(control.picture.width, 2);
  EXPECT_EQ(control.repaintCount, 1);
}

}  // namespace
}  // namespace filamorph
