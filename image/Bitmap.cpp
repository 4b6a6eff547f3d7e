#include "image/Bitmap.h"

#include <algorithm>

namespace filamorph {
namespace {

Color rgb(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Color>(red) | static_cast<Color>(green) << 8 | static_cast<Color>(blue) << 16;
}

}  // namespace

Bitmap Bitmap::make24(int32_t width, int32_t height) {
  Bitmap bitmap;
  bitmap.width = std::max(width, 0);
  bitmap.height = std::max(height, 0);
  bitmap.format = PixelFormat::Bits24;
  bitmap.pixels.assign(bitmap.stride() * static_cast<std::size_t>(bitmap.height), 0);
  return bitmap;
}

Color Bitmap::pixel(int32_t col, int32_t row) const {
  const uint8_t* line = scanLine(row);
  if (format == PixelFormat::Bits24) {
    const uint8_t* bgr = line + static_cast<std::size_t>(col) * 3;
    return rgb(bgr[2], bgr[1], bgr[0]);
  }
  const uint8_t index = line[col];
  if (index < palette.size()) return palette[index];
  return rgb(index, index, index);
}

Bitmap Bitmap::to24() const {
  if (format == PixelFormat::Bits24) return *this;
  Bitmap result = make24(width, height);
  if (format != PixelFormat::Bits8) return result;
  for (int32_t row = 0; row < height; ++row) {
    uint8_t* out = result.scanLine(row);
    for (int32_t col = 0; col < width; ++col) {
      const Color color = pixel(col, row);
      *out++ = static_cast<uint8_t>(color >> 16);
      *out++ = static_cast<uint8_t>(color >> 8);
      *out++ = static_cast<uint8_t>(color);
    }
  }
  return result;
}

}  // namespace filamorph
