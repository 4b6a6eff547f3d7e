#ifndef FILAMORPH_IMAGE_BMPHEADER_H
#define FILAMORPH_IMAGE_BMPHEADER_H
// The headers of a BMP file: what the file declares and where its pixels lie.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/Status.h"
#include "image/Bitmap.h"

namespace filamorph {

// A header that parsed successfully is consistent with the file it came from:
// the size is within kMaxBitmapPixels and, for uncompressed formats, every row
// of pixel data lies inside the file.
struct BmpHeader {
  int32_t width = 0;
  int32_t height = 0;  // always positive; topDown says how rows are stored
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  PixelFormat format = PixelFormat::None;
  std::size_t pixelOffset = 0;   // first byte of the first stored row
  std::size_t fileRowBytes = 0;  // stored row length with its padding; 0 when compressed
  std::vector<Color> palette;    // read for Bits8 only, at most 256 entries
};

Status parseBmpHeader(std::span<const uint8_t> data, BmpHeader& out);

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_BMPHEADER_H
