#include "app/PictureConversion.h"

#include <cstring>

namespace filamorph {

QImage toQImage(const Bitmap& bitmap) {
  if (bitmap.empty() || bitmap.width <= 0 || bitmap.height <= 0) return {};
  const Bitmap converted = bitmap.format == PixelFormat::Bits24 ? Bitmap{} : bitmap.to24();
  const Bitmap& rgb = bitmap.format == PixelFormat::Bits24 ? bitmap : converted;
  QImage image(rgb.width, rgb.height, QImage::Format_BGR888);
  for (int32_t row = 0; row < rgb.height; ++row)
    std::memcpy(image.scanLine(row), rgb.scanLine(row), rgb.stride());
  return image;
}

Bitmap toBitmap24(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_BGR888);
  Bitmap bitmap = Bitmap::make24(rgb.width(), rgb.height());
  for (int32_t row = 0; row < bitmap.height; ++row)
    std::memcpy(bitmap.scanLine(row), rgb.constScanLine(row), bitmap.stride());
  return bitmap;
}

}  // namespace filamorph
