#ifndef FILAMORPH_IMAGE_IMAGEINPUT_H
#define FILAMORPH_IMAGE_IMAGEINPUT_H
// PNG and Netpbm pictures handed to the codec as the 24-bit bitmaps it reads.

#include <memory>
#include <string>

#include "base/Status.h"
#include "base/TemporaryFile.h"
#include "image/Bitmap.h"

namespace filamorph {

enum class ImageFileKind {
  Bitmap,  // anything that is neither PNG nor Netpbm: the bitmap reader judges it
  Png,
  Netpbm,  // PGM or PPM, binary (P5, P6) or plain text (P2, P3)
};

// Judges a file by its first bytes, never by its name; an unreadable file is
// a Bitmap (the bitmap reader then reports it).
ImageFileKind sniffImageFile(const std::string& path);

// Decodes a PNG (through libpng) or a Netpbm file (through libturbojpeg's
// loader) into a 24-bit bitmap. A gray pixel v becomes blue = green = red = v,
// which the codec imports as v; colour pixels keep their colours, so the
// import applies exactly the weights of a 24-bit bitmap. PNG transparency is
// composited onto white; 16-bit samples are scaled to 8 bits. Pictures of
// more than kMaxBitmapPixels are refused before their pixels are decoded.
Status decodePicture(const std::string& path, ImageFileKind kind, Bitmap& out);

// The file the codec opens for a picture: a BMP (or any other file) as it is,
// a PNG or Netpbm file as a temporary 24-bit BMP that lives as long as this
// object. status() tells why a picture could not be converted.
class BitmapInput {
 public:
  explicit BitmapInput(const std::string& path);

  const Status& status() const { return status_; }
  const std::string& path() const { return path_; }
  ImageFileKind kind() const { return kind_; }

 private:
  ImageFileKind kind_ = ImageFileKind::Bitmap;
  std::unique_ptr<TemporaryFile> converted_;
  std::string path_;
  Status status_;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_IMAGEINPUT_H
