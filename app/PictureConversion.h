#ifndef FILAMORPH_APP_PICTURECONVERSION_H
#define FILAMORPH_APP_PICTURECONVERSION_H
// Pixel exchange between the codec's bitmaps and the toolkit's images.

#include <QImage>

#include "image/Bitmap.h"

namespace filamorph {

// The picture as the screen shows it: 8-bit bitmaps through their palette,
// formats without pixels as black. An empty bitmap gives a null image.
QImage toQImage(const Bitmap& bitmap);

// A 24-bit bitmap of the image's size (alpha is dropped).
Bitmap toBitmap24(const QImage& image);

}  // namespace filamorph

#endif  // FILAMORPH_APP_PICTURECONVERSION_H
