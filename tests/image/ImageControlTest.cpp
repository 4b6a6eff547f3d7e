// The headless image control: loading, auto-size, the canvas and repainting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpBuilder.h"
#include "image/ImageControl.h"

namespace filamorph {
namespace {

class ImageControlFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("control-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::filesystem::path folder_;
};

TEST_F(ImageControlFiles, LoadingTakesThePicturesSizeOnlyWithAutoSize) {
  const std::string path = write("five.bmp", testing::buildBmp({.width = 5, .height = 4}));
  ImageControl control;
  control.width = 281;
  control.height = 258;
  ASSERT_TRUE(control.loadFromFile(path).ok());
  EXPECT_EQ(control.picture.width, 5);
  EXPECT_EQ(control.width, 281);

  control.autoSize = true;
  ASSERT_TRUE(control.loadFromFile(path).ok());
  EXPECT_EQ(control.width, 5);
  EXPECT_EQ(control.height, 4);
}

TEST_F(ImageControlFiles, FailedLoadKeepsThePictureAndNamesTheFile) {
  std::vector<uint8_t> truncated = testing::buildBmp({.width = 5, .height = 4});
  truncated.resize(truncated.size() - 20);
  const std::string path = write("truncated.bmp", truncated);
  ImageControl control;
  control.autoSize = true;
  control.assign(Bitmap::make24(2, 3));
  const Status status = control.loadFromFile(path);
  ASSERT_FALSE(status.ok());
  EXPECT_NE(status.message().find("truncated.bmp"), std::string::npos) << status.message();
  EXPECT_EQ(control.picture.width, 2);
  EXPECT_EQ(control.width, 2);
}

TEST_F(ImageControlFiles, SavedPictureLoadsBackUnchanged) {
  ImageControl control;
  control.assign(Bitmap::make24(3, 3));
  control.setPixel(1, 2, 0x123456);
  const std::string path = (folder_ / "saved.bmp").string();
  ASSERT_TRUE(control.saveToFile(path).ok());
  ImageControl other;
  ASSERT_TRUE(other.loadFromFile(path).ok());
  EXPECT_EQ(other.picture.pixels, control.picture.pixels);

  ImageControl empty;
  EXPECT_FALSE(empty.saveToFile((folder_ / "empty.bmp").string()).ok());
  EXPECT_FALSE(std::filesystem::exists(folder_ / "empty.bmp"));
}

TEST(ImageControl, CanvasOfAnEmptyPictureIsBlackAtTheControlsSize) {
  ImageControl control;
  control.width = 4;
  control.height = 3;
  Bitmap& canvas = control.canvas();
  EXPECT_EQ(canvas.format, PixelFormat::Bits24);
  EXPECT_EQ(canvas.width, 4);
  EXPECT_EQ(canvas.height, 3);
  EXPECT_EQ(canvas.pixels, std::vector<uint8_t>(36, 0));
}

TEST(ImageControl, CanvasOfAnEightBitPictureShowsItsColours) {
  ImageControl control;
  Bitmap indexed;
  indexed.width = 3;
  indexed.height = 1;
  indexed.format = PixelFormat::Bits8;
  indexed.pixels = {0, 1, 9};
  indexed.palette = {0x0000FF, 0x00FF00};  // index 9 has no entry: gray 9
  control.assign(indexed);
  control.canvas();
  EXPECT_EQ(control.picture.format, PixelFormat::Bits24);
  EXPECT_EQ(control.picture.pixels, (std::vector<uint8_t>{0, 0, 255, 0, 255, 0, 9, 9, 9}));
}

TEST(ImageControl, CanvasOfARefusedFormatIsBlackAtThePicturesSize) {
  ImageControl control;
  control.width = 100;
  control.picture.width = 6;
  control.picture.height = 2;
  control.picture.format = PixelFormat::Bits4;
  EXPECT_EQ(control.canvas().pixels, std::vector<uint8_t>(36, 0));
}

TEST(ImageControl, SetPixelWritesBlueGreenRedAndIgnoresOutsidePositions) {
  ImageControl control;
  control.assign(Bitmap::make24(2, 2));
  control.setPixel(1, 0, 6789);  // 0x1A85: red 0x85 in the low byte, green 0x1A
  EXPECT_EQ((std::vector<uint8_t>(control.picture.scanLine(0) + 3, control.picture.scanLine(0) + 6)),
            (std::vector<uint8_t>{0x00, 0x1A, 0x85}));
  const std::vector<uint8_t> before = control.picture.pixels;
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {2, 0}, {0, 2}, {INT32_MAX, INT32_MIN}}) {
    control.setPixel(x, y, 0xFFFFFF);
  }
  EXPECT_EQ(control.picture.pixels, before);
}

// Rows of the canvas as characters: '#' where the pixel has the brush colour.
std::vector<std::string> drawn(const ImageControl& control, Color brush) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < control.picture.height; ++y) {
    std::string row;
    for (int32_t x = 0; x < control.picture.width; ++x) row += control.picture.pixel(x, y) == brush ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(ImageControl, RectanglesExcludeRightAndBottomAndAreClipped) {
  ImageControl control;
  control.assign(Bitmap::make24(6, 5));
  control.brushColor = 0x0000FF;
  control.frameRect(1, 1, 5, 4);
  EXPECT_EQ(drawn(control, 0x0000FF), (std::vector<std::string>{"......", ".####.", ".#..#.", ".####.", "......"}));

  control.fillRect(-3, 3, 2, 100);
  control.frameRect(4, -1, 100, 2);  // clipped frame: only its inner edges show
  EXPECT_EQ(drawn(control, 0x0000FF), (std::vector<std::string>{"....#.", ".#####", ".#..#.", "#####.", "##...."}));

  const std::vector<uint8_t> before = control.picture.pixels;
  control.fillRect(3, 3, 3, 5);  // empty
  control.frameRect(5, 0, 2, 4);  // inverted
  control.fillRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN + 1);
  control.frameRect(INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX);
  control.brushSolid = false;
  control.fillRect(0, 0, 6, 5);
  control.frameRect(0, 0, 6, 5);
  EXPECT_EQ(control.picture.pixels, before);
}

TEST(ImageControl, RepaintCountsAndCallsBack) {
  ImageControl control;
  control.repaint();
  int calls = 0;
  control.onRepaint = [&] { ++calls; };
  control.repaint();
  EXPECT_EQ(control.repaintCount, 2);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace filamorph
