#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "reconstruct/Reconstructor.h"

namespace filamorph {
namespace {

void sizeReconstructor(Reconstructor& reconstructor, int32_t width, int32_t height) {
  reconstructor.width = width;
  reconstructor.cols = width;
  reconstructor.height = height;
  reconstructor.rows = height;
}

TEST(ModelViewTest, ShowsDepthAsItsNegativeModulo256) {
  Reconstructor reconstructor;
  sizeReconstructor(reconstructor, 3, 2);
  reconstructor.allocateModelPlanes();
  const uint8_t depths[6] = {0, 1, 2, 128, 254, 255};
  std::copy(depths, depths + 6, reconstructor.depthPlane.data());
  ImageControl image;
  image.picture = Bitmap::make24(7, 7);  // a picture of another size is replaced
  ImageControl companion;

  reconstructor.showModel(image, companion);

  EXPECT_EQ(image.hint, "Depth Data");
  EXPECT_EQ(companion.hint, "Sparseness Data");
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(companion.width, 3);
  EXPECT_EQ(companion.height, 2);
  EXPECT_EQ(companion.left, 23);
  EXPECT_EQ(image.repaintCount, 1);
  EXPECT_EQ(companion.repaintCount, 1);
  ASSERT_EQ(image.picture.format, PixelFormat::Bits24);
  ASSERT_EQ(image.picture.width, 3);
  ASSERT_EQ(image.picture.height, 2);
  const std::vector<uint8_t> shades = {0, 255, 254, 128, 2, 1};
  for (int32_t i = 0; i < 6; ++i) {
    const Color color = image.picture.pixel(i % 3, i / 3);
    EXPECT_EQ(color, shades[i] * 0x010101u) << "depth " << int{depths[i]};
  }
  EXPECT_TRUE(companion.picture.empty());
}

TEST(ModelViewTest, WithoutModelPlanesOnlyPlacesTheControls) {
  Reconstructor reconstructor;
  sizeReconstructor(reconstructor, 4, 4);
  ImageControl image;
  image.picture = Bitmap::make24(2, 2);
  image.picture.pixels.assign(image.picture.pixels.size(), 9);
  ImageControl companion;

  reconstructor.showModel(image, companion);

  EXPECT_EQ(image.hint, "Depth Data");
  EXPECT_EQ(companion.left, 24);
  EXPECT_EQ(image.picture.width, 2);
  EXPECT_EQ(image.picture.pixels, std::vector<uint8_t>(12, 9));
  EXPECT_EQ(image.repaintCount, 1);
}

}  // namespace
}  // namespace filamorph
