#ifndef FILAMORPH_IMAGE_GRAYIMAGE_H
#define FILAMORPH_IMAGE_GRAYIMAGE_H
// The base of the image object family: a size, a gray plane, a convolution
// kernel with its output plane, and the name of the bitmap file.

#include <cstdint>
#include <optional>
#include <string>

#include "base/Status.h"
#include "image/ImageControl.h"
#include "image/Plane.h"

namespace filamorph {

class WorkThreads;

// Owns every plane and text it holds. The byte flags record which optional
// planes exist; an operation that makes a plane anew releases the one it
// replaces. rows always equals height and cols always equals width: every
// writer of one pair writes the other.
class GrayImage {
 public:
  GrayImage() = default;
  GrayImage(const GrayImage&) = delete;
  GrayImage& operator=(const GrayImage&) = delete;
  ~GrayImage();

  int32_t width = 0;
  int32_t height = 0;
  int32_t rows = 0;
  int32_t cols = 0;
  Plane<uint8_t> grayPlane;
  Plane<float> filteredPlane;
  int32_t kernelCols = 0;
  int32_t kernelRows = 0;
  int32_t kernelRowHalf = 0;
  int32_t kernelColHalf = 0;
  float kernelScale = 0.0f;
  Plane<float> kernel;
  uint8_t imageReplaced = 0;
  uint8_t grayPlaneAllocated = 0;
  uint8_t filteredPlaneAllocated = 0;
  std::optional<std::string> fileName;
  // Threads the stages may share their work with, owned by the caller and
  // alive while set; null: every stage runs on the calling thread alone. The
  // results are the same either way.
  const WorkThreads* workThreads = nullptr;

  // Releases the gray plane, the filtered plane and the file name; the size,
  // the kernel and imageReplaced stay.
  void releasePlanes();
  bool isInside(int32_t row, int32_t col) const { return row >= 0 && row < height && col >= 0 && col < width; }

  // Bitmap exchange.
  // Keeps a copy of the whole name, whatever its length.
  void storeFileName(const std::string& name);
  // Replaces size and gray plane by the control's bitmap; a pixel format other
  // than 8 or 24 bits, or no picture at all, shows kUnsupportedPixelFormat and
  // leaves no gray plane and no file name, with the size set to the picture's,
  // and returns that refusal as an UnsupportedPixelFormat failure.
  Status importBitmap(ImageControl& image);
  // Draws the gray plane as a gray 24-bit picture of cols x rows pixels and
  // repaints; without a gray plane the picture is left as it is.
  void showGray(ImageControl& image) const;
  // 255 - v over the whole plane; does not redraw.
  void invert();

  // Convolves grayPlane with the current kernel into filteredPlane, whose
  // margin (the pixels the kernel does not fit around) reads 0.
  void convolve();
  // Replaces each gray level the convolution reaches by the clamped
  // convolution of the gray plane with the current kernel, computed as
  // convolve() computes it; the margin keeps its gray levels. filteredPlane
  // is neither made nor changed.
  void convolveIntoGray();
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_GRAYIMAGE_H
