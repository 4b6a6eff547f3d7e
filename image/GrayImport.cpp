// Pixel exchange between a GrayImage and the bitmap of an image control.
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/Messages.h"
#include "image/GrayImage.h"

namespace filamorph {
namespace {

// The products of the luma weights with every level, each the double that
// weight x level gives.
struct LumaProducts {
  std::array<double, 256> red{};
  std::array<double, 256> green{};
  std::array<double, 256> blue{};
};

constexpr LumaProducts lumaProducts() {
  LumaProducts products;
  for (int32_t level = 0; level < 256; ++level) {
    products.red[static_cast<std::size_t>(level)] = 0.299 * level;
    products.green[static_cast<std::size_t>(level)] = 0.587 * level;
    products.blue[static_cast<std::size_t>(level)] = 0.114 * level;
  }
  return products;
}

constexpr LumaProducts kLuma = lumaProducts();

// The luma weights applied in double precision, left to right, then rounded
// half up by truncation: R = G = B = v gives v, and the sum never exceeds 255.
// The products come from the tables, the sums are made as ever.
uint8_t grayOf(uint8_t blue, uint8_t green, uint8_t red) {
  const double sum = kLuma.red[red] + kLuma.green[green] + kLuma.blue[blue];
  return static_cast<uint8_t>(static_cast<int>(sum + 0.5));
}

void importRows24(const Bitmap& bitmap, Plane<uint8_t>& plane) {
  for (int32_t row = 0; row < plane.rows(); ++row) {
    const uint8_t* bgr = bitmap.scanLine(row);
    uint8_t* out = plane[row];
    for (int32_t col = 0; col < plane.cols(); ++col, bgr += 3) out[col] = grayOf(bgr[0], bgr[1], bgr[2]);
  }
}

void importRows8(const Bitmap& bitmap, Plane<uint8_t>& plane) {
  const std::size_t rowBytes = static_cast<std::size_t>(plane.cols());
  if (rowBytes == 0) return;
  for (int32_t row = 0; row < plane.rows(); ++row) std::memcpy(plane[row], bitmap.scanLine(row), rowBytes);
}

}  // namespace

void GrayImage::storeFileName(const std::string& name) {
  fileName = name;
}

Status GrayImage::importBitmap(ImageControl& image) {
  image.hint = fileName.value_or("");
  if (grayPlaneAllocated) {
    imageReplaced = 1;
    grayPlaneAllocated = 0;
    filteredPlaneAllocated = 0;
    releasePlanes();
  }
  const Bitmap& bitmap = image.picture;
  width = cols = bitmap.width;
  height = rows = bitmap.height;
  if (!bitmap.hasPixels()) {
    // A refused picture is never given a plane: its declared size may be
    // large while it holds no pixels at all.
    showMessage(kUnsupportedPixelFormat, MessageSeverity::Warning);
    releasePlanes();
    return Status::failure(ErrorKind::UnsupportedPixelFormat, kUnsupportedPixelFormat);
  }
  grayPlane.allocate(rows, cols);
  grayPlaneAllocated = 1;
  if (bitmap.format == PixelFormat::Bits24) {
    importRows24(bitmap, grayPlane);
  } else {
    importRows8(bitmap, grayPlane);
  }
  return Status::success();
}

void GrayImage::showGray(ImageControl& image) const {
  image.hint = fileName.value_or("");
  if (grayPlane.exists()) {
    // The plane's own size bounds every write, whatever rows and cols say.
    const int32_t planeRows = grayPlane.rows();
    const int32_t planeCols = grayPlane.cols();
    Bitmap& picture = image.picture;
    if (picture.format != PixelFormat::Bits24 || picture.width != planeCols || picture.height != planeRows) {
      image.assign(Bitmap::make24(planeCols, planeRows));
    }
    const uint8_t* gray = grayPlane.data();
    uint8_t* bgr = picture.pixels.data();
    for (std::size_t i = 0, count = grayPlane.size(); i < count; ++i, bgr += 3) bgr[0] = bgr[1] = bgr[2] = gray[i];
  }
  image.repaint();
}

void GrayImage::invert() {
  uint8_t* gray = grayPlane.data();
  for (std::size_t i = 0, count = grayPlane.size(); i < count; ++i) gray[i] = static_cast<uint8_t>(255 - gray[i]);
}

}  // namespace filamorph
