#ifndef FILAMORPH_EVALUATION_PNGENCODING_H
#define FILAMORPH_EVALUATION_PNGENCODING_H
// Gray planes as PNG files in memory and as data URIs for a self-contained page.

#include <cstdint>
#include <string>
#include <vector>

#include "image/Plane.h"

namespace filamorph::evaluation {

// An 8-bit gray PNG through libpng; throws std::runtime_error when libpng refuses.
std::vector<uint8_t> encodeGrayPng(const Plane<uint8_t>& gray);

std::string base64(const std::vector<uint8_t>& bytes);

// "data:image/png;base64,..." of the plane.
std::string pngDataUri(const Plane<uint8_t>& gray);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_PNGENCODING_H
