#ifndef FILAMORPH_CLI_CODEDFILEINFO_H
#define FILAMORPH_CLI_CODEDFILEINFO_H
// What a coded file holds, as the reader sees it: size, contours, points, bytes.

#include <cstdint>
#include <string>

#include "cli/InputFile.h"
#include "image/BmpFile.h"

namespace filamorph::cli {

struct CodedFileInfo {
  int32_t width = 0;
  int32_t height = 0;
  int64_t contours = 0;
  int64_t points = 0;
  std::uintmax_t bytes = 0;

  double bitsPerPixel() const;
  // "12345 bytes (0.123 bpp)"
  std::string sizeText() const;
};

// Reads the file as Open Coded Image does, but lays no plane and draws no
// view, so that it costs memory in proportion to the file, not to the image it
// declares. Counting what the reader rebuilds, rather than what the writer was
// given, reports what the file really carries. Throws CommandError when the
// file is unreadable, malformed or declares more than maxPixels pixels.
CodedFileInfo readCodedFileInfo(const InputFile& file, int64_t maxPixels = kMaxBitmapPixels);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODEDFILEINFO_H
