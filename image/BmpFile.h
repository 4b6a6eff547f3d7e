#ifndef FILAMORPH_IMAGE_BMPFILE_H
#define FILAMORPH_IMAGE_BMPFILE_H
// Reading and writing Windows bitmap (BMP) files.

#include <cstdint>
#include <span>
#include <string>

#include "base/Status.h"
#include "image/Bitmap.h"

namespace filamorph {

// Largest picture the reader accepts, in pixels; larger headers are refused
// before anything is allocated. The compressed-file reader takes the same
// limit unless its caller chooses another.
inline constexpr int64_t kMaxBitmapPixels = int64_t{1} << 28;

// Decodes a BMP file held in memory. Well-formed headers of every kind yield a
// bitmap whose format says what the file holds; only uncompressed 8-bit and
// 24-bit files also yield pixels. Malformed or hostile data gives a failure
// with a clear message, leaving out unchanged, and never a crash or a huge
// allocation. A picture decoded over one of the same size reuses its pixel
// storage.
Status decodeBmp(std::span<const uint8_t> data, Bitmap& out);

// Reads a whole file into memory and
// decodes it; failure messages name the file.
Status readBmpFile(const std::string& path, Bitmap& out);

// Writes an 8-bit (with its palette, or a gray ramp) or 24-bit bitmap, rows
// bottom-up with a 40-byte info header, through a temporary sibling file: a
// failed write leaves whatever was at path untouched.
Status writeBmpFile(const std::string& path, const Bitmap& bitmap);

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_BMPFILE_H
