#ifndef FILAMORPH_EVALUATION_JPEGMATCH_H
#define FILAMORPH_EVALUATION_JPEGMATCH_H
// The comparison codec: baseline gray JPEG (libjpeg-turbo) at the quality
// whose file size comes closest to a given size.

#include <array>
#include <cstdint>
#include <vector>

#include "image/Plane.h"

namespace filamorph::evaluation {

inline constexpr int kJpegQualities = 100;  // qualities 1 to 100

// One gray plane coded as a baseline JPEG (one gray component, accurate
// integer DCT) and decoded again.
struct JpegCoding {
  int quality = 0;
  std::vector<uint8_t> file;
  Plane<uint8_t> decoded;
};

// Throws std::runtime_error when libjpeg-turbo refuses the plane.
std::vector<uint8_t> encodeGrayJpeg(const Plane<uint8_t>& gray, int quality);
Plane<uint8_t> decodeGrayJpeg(const std::vector<uint8_t>& file);

// File sizes of the plane at every quality, index q - 1 for quality q.
std::array<uint64_t, kJpegQualities> jpegSizes(const Plane<uint8_t>& gray);

// The quality (1..100) whose size is closest to targetBytes; of two equally
// close, the higher quality. sizes is indexed as jpegSizes() returns it.
int closestQuality(const std::array<uint64_t, kJpegQualities>& sizes, uint64_t targetBytes);

// The JPEG whose size comes closest to targetBytes, with its decoded plane.
JpegCoding matchJpegSize(const Plane<uint8_t>& gray, uint64_t targetBytes);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_JPEGMATCH_H
