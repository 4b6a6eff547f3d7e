#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EdgeArt.h"
#include "contours/ContourCoder.h"
#include "image/ImageControl.h"

namespace filamorph {
namespace {

using testing::loadEdgeArt;

constexpr Color kBlack = 0x000000;
constexpr Color kWhite = 0xFFFFFF;

// Contour 0 is the run along row 1, contour 1 the branch below it.
const std::vector<std::string> kJunction = {".......", ".#####.", "...#...", "...#...", "......."};

ImageControl controlWithPicture(int32_t width, int32_t height) {
  ImageControl image;
  image.width = width;
  image.height = height;
  image.assign(Bitmap::make24(width, height));
  return image;
}

TEST(ContourColor, FirstContourIsRed0x85Green0x1A) {
  EXPECT_EQ(contourColor(0), 0x001A85u);
  EXPECT_EQ(contourColor(2), 3u * 6789u);
  EXPECT_EQ(contourColor(2471), (2472u * 6789u) & 0xFFFFFFu);
}

TEST(ContourView, DrawsSelectedContoursOverThePictureAndPlacesTheCompanion) {
  ContourCoder coder;
  loadEdgeArt(coder, kJunction);
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 2);
  coder.contours[1].selected = 0;

  ImageControl image = controlWithPicture(7, 5);
  image.setPixel(0, 4, kWhite);
  ImageControl companion;
  coder.showContours(image, companion);

  EXPECT_EQ(image.hint, "BlobColor[][]");
  for (int32_t col = 1; col <= 5; ++col) EXPECT_EQ(image.picture.pixel(col, 1), contourColor(0)) << col;
  EXPECT_EQ(image.picture.pixel(3, 2), kBlack);  // contour 1 is not selected
  EXPECT_EQ(image.picture.pixel(0, 4), kWhite);  // drawn over, not cleared
  EXPECT_EQ(image.repaintCount, 1);

  EXPECT_EQ(companion.hint, "ContourDescriptor[]");
  EXPECT_EQ(companion.left, 7 + 18);
  EXPECT_EQ(companion.width, 7);
  EXPECT_EQ(companion.height, 5);
  EXPECT_TRUE(companion.picture.empty());
  EXPECT_EQ(companion.repaintCount, 1);
}

TEST(DescriptorView, TakesTheImageSizeAndDrawsWithoutRepainting) {
  ContourCoder coder;
  loadEdgeArt(coder, kJunction);
  coder.traceContours();
  coder.contours[0].selected = 0;

  ImageControl image;
  coder.showDescriptor(image);
  EXPECT_EQ(image.hint, "Contour Descriptor");
  EXPECT_EQ(image.width, 7);
  EXPECT_EQ(image.height, 5);
  ASSERT_EQ(image.picture.width, 7);
  EXPECT_EQ(image.picture.pixel(3, 2), contourColor(1));
  EXPECT_EQ(image.picture.pixel(3, 3), contourColor(1));
  EXPECT_EQ(image.picture.pixel(1, 1), kBlack);
  EXPECT_EQ(image.repaintCount, 0);
}

// The frame runs outside the contour's first row and column but along its
// last ones.
TEST(BoundingBoxView, FramesEachSelectedContour) {
  ContourCoder coder;
  loadEdgeArt(coder, {"........", "........", "..###...", "..#.#...", "..###...", "........", "......##"});
  coder.traceContours();
  ASSERT_EQ(coder.contourCount, 2);
  ASSERT_EQ(coder.contours[1].closed, 1);  // the ring, after the open run
  coder.contours[0].selected = 0;

  ImageControl image = controlWithPicture(8, 7);
  image.brushSolid = false;
  coder.showBoundingBoxes(image);
  EXPECT_EQ(image.hint, "Bounding Box");
  EXPECT_TRUE(image.brushSolid);

  const Color frame = contourColor(1);
  for (int32_t i = 1; i <= 4; ++i) {
    EXPECT_EQ(image.picture.pixel(i, 1), frame) << i;  // row top - 1
    EXPECT_EQ(image.picture.pixel(i, 4), frame) << i;  // the ring's last row
    EXPECT_EQ(image.picture.pixel(1, i), frame) << i;  // column left - 1
    EXPECT_EQ(image.picture.pixel(4, i), frame) << i;  // the ring's last column
  }
  EXPECT_EQ(image.picture.pixel(2, 2), kBlack);  // the ring's own pixels are not drawn
  EXPECT_EQ(image.picture.pixel(5, 5), kBlack);
  EXPECT_EQ(image.picture.pixel(5, 6), kBlack);  // no frame for the unselected run
  EXPECT_EQ(image.repaintCount, 0);
}

}  // namespace
}  // namespace filamorph
