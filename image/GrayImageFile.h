#ifndef FILAMORPH_IMAGE_GRAYIMAGEFILE_H
#define FILAMORPH_IMAGE_GRAYIMAGEFILE_H
// Writing a gray plane to an image file chosen by its extension.

#include <cstdint>
#include <span>
#include <string>

#include "base/Status.h"
#include "image/Plane.h"

namespace filamorph {

// Writes rows x cols gray levels, top row first, to path. The extension picks
// the format, in any letter case: ".pgm" is binary PGM (P5, maxval 255) and
// ".bmp" a 24-bit BMP with blue = green = red; the path "-" writes PGM to
// standard output. Any other extension, an empty image or too few levels is
// refused. A file is written through a temporary sibling, so a failure leaves
// nothing half-written at path.
Status writeGrayImageFile(const std::string& path, std::span<const uint8_t> gray, int32_t rows, int32_t cols);
Status writeGrayImageFile(const std::string& path, const Plane<uint8_t>& plane);

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_GRAYIMAGEFILE_H
