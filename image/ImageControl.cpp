#include "image/ImageControl.h"

#include <algorithm>
#include <utility>

#include "image/BmpFile.h"

namespace filamorph {

Status ImageControl::loadFromFile(const std::string& path) {
  // Decoded over the current picture, whose pixel storage a picture of the
  // same size reuses; the reader leaves it as it was when it fails.
  if (Status status = readBmpFile(path, picture); !status) return status;
  if (autoSize) {
    width = picture.width;
    height = picture.height;
  }
  return Status::success();
}

Status ImageControl::saveToFile(const std::string& path) const { return writeBmpFile(path, picture); }

void ImageControl::assign(Bitmap bitmap) {
  picture = std::move(bitmap);
  if (autoSize) {
    width = picture.width;
    height = picture.height;
  }
}

Bitmap& ImageControl::canvas() {
  if (picture.format == PixelFormat::Bits24) return picture;
  if (picture.empty()) {
    assign(Bitmap::make24(width, height));
  } else {
    assign(picture.to24());
  }
  return picture;
}

void ImageControl::setPixel(int32_t x, int32_t y, Color color) {
  Bitmap& bitmap = canvas();
  if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) return;
  uint8_t* bgr = bitmap.scanLine(y) + static_cast<std::size_t>(x) * 3;
  bgr[0] = static_cast<uint8_t>(color >> 16);
  bgr[1] = static_cast<uint8_t>(color >> 8);
  bgr[2] = static_cast<uint8_t>(color);
}

void ImageControl::fillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Bitmap& bitmap = canvas();
  if (!brushSolid) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap.width);
  bottom = std::min(bottom, bitmap.height);
  if (left >= right || top >= bottom) return;
  const uint8_t blue = static_cast<uint8_t>(brushColor >> 16);
  const uint8_t green = static_cast<uint8_t>(brushColor >> 8);
  const uint8_t red = static_cast<uint8_t>(brushColor);
  for (int32_t y = top; y < bottom; ++y) {
    uint8_t* bgr = bitmap.scanLine(y) + static_cast<std::size_t>(left) * 3;
    for (int32_t x = left; x < right; ++x) {
      *bgr++ = blue;
      *bgr++ = green;
      *bgr++ = red;
    }
  }
}

void ImageControl::frameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) {
    canvas();
    return;
  }
  // Four one-pixel strips, each clipped by fillRect; left < right and
  // top < bottom keep left + 1 and top + 1 from overflowing.
  fillRect(left, top, right, top + 1);
  fillRect(left, bottom - 1, right, bottom);
  fillRect(left, top, left + 1, bottom);
  fillRect(right - 1, top, right, bottom);
}

void ImageControl::repaint() {
  ++repaintCount;
  if (onRepaint) onRepaint();
}

}  // namespace filamorph
