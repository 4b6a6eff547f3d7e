#ifndef FILAMORPH_IMAGE_PADDEDBAND_H
#define FILAMORPH_IMAGE_PADDEDBAND_H
// The gray rows that a band of output rows of a convolution reads, as floats.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/GrayImage.h"
#include "image/Plane.h"

namespace filamorph {

// Each row is padded with zeros so that the last vector strip of a row may
// read past the window without a bounds test. A band of at most kOutputRows
// output rows needs their rows and the kernel's half-height of rows on either
// side; bands advance down the plane, and the rows two successive bands share
// are moved within the storage rather than read again from the gray plane. So
// a convolution may write each finished band back into the gray plane, and
// the storage stays a few hundred kilobytes, warm in the cache, whatever the
// image size.
class PaddedBand {
 public:
  static constexpr int32_t kOutputRows = 64;

  // padding is the number of zero floats after each row; the storage is kept
  // by the caller from one convolution to the next, so that its pages are
  // faulted in once.
  PaddedBand(const Plane<uint8_t>& gray, int32_t rowHalf, int32_t padding, std::vector<float>& storage);

  // Holds the input rows of the output rows first..last, at most kOutputRows
  // of them, each inside the plane with its kernel rows; bands go down the plane.
  void advanceTo(int32_t first, int32_t last);

  std::size_t stride() const { return stride_; }
  const float* row(int32_t r) const { return levels_ + stride_ * static_cast<std::size_t>(r - firstInput_); }

  // The offset from an output pixel of the level that the image's kernel row
  // l and column k weigh (the kernel is mirrored: a true convolution).
  std::ptrdiff_t tapOffset(const GrayImage& image, int32_t l, int32_t k) const {
    return static_cast<std::ptrdiff_t>(image.kernelRowHalf - l) * static_cast<std::ptrdiff_t>(stride_) +
           (image.kernelColHalf - k);
  }

 private:
  void convertRow(int32_t r);

  const Plane<uint8_t>& gray_;
  int32_t rowHalf_;
  std::size_t stride_;
  float* levels_;
  int32_t firstInput_ = 0;
  int32_t lastInput_ = -1;  // none held yet
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_PADDEDBAND_H
