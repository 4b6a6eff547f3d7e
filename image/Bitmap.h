#ifndef FILAMORPH_IMAGE_BITMAP_H
#define FILAMORPH_IMAGE_BITMAP_H
// An in-memory picture: size, pixel format and top-down scan lines.

#include <cstdint>
#include <vector>

namespace filamorph {

// A colour value as the views use it: red in the low byte, green in the next,
// blue in the third.
using Color = uint32_t;

enum class PixelFormat {
  None,        // no picture
  Bits1,
  Bits2,
  Bits4,
  Bits8,       // one palette index per pixel
  Bits16,
  Bits24,      // blue, green, red per pixel
  Bits32,
  Bits64,
  Compressed,  // run-length, Huffman, embedded JPEG/PNG and the like
};

// Only Bits8 and Bits24 bitmaps carry pixels; any other format records what a
// file declared so that importing can refuse it.
struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;
  PixelFormat format = PixelFormat::None;
  std::vector<uint8_t> pixels;   // height scan lines of stride() bytes, top row first
  std::vector<Color> palette;    // Bits8 only; may be empty

  static Bitmap make24(int32_t width, int32_t height);  // black
  bool empty() const { return format == PixelFormat::None; }
  bool hasPixels() const { return format == PixelFormat::Bits8 || format == PixelFormat::Bits24; }
  int32_t bytesPerPixel() const { return format == PixelFormat::Bits24 ? 3 : 1; }
  std::size_t stride() const { return static_cast<std::size_t>(width) * bytesPerPixel(); }
  uint8_t* scanLine(int32_t row) { return pixels.data() + stride() * row; }
  const uint8_t* scanLine(int32_t row) const { return pixels.data() + stride() * row; }

  // The colour of a pixel (through the palette for Bits8; a missing entry reads
  // as the gray level of the index).
  Color pixel(int32_t col, int32_t row) const;
  // A 24-bit copy: Bits24 as it is, Bits8 through its palette, and any format
  // without pixels as a black picture of its size.
  Bitmap to24() const;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_BITMAP_H
