#include "image/ImageInput.h"

#include <png.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "image/BmpFile.h"

namespace filamorph {
namespace {

bool pictureTooLarge(int64_t width, int64_t height) {
  return width <= 0 || height <= 0 || width > kMaxBitmapPixels / height;
}

Status tooLarge(const std::string& path) {
  return Status::failure(ErrorKind::MalformedFile, path + ": the picture has no pixels or more than " +
                                                       std::to_string(kMaxBitmapPixels) + " pixels");
}

Status decodePng(const std::string& path, Bitmap& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    return Status::failure(ErrorKind::MalformedFile, path + ": not a readable PNG file (" + image.message + ")");
  }
  if (pictureTooLarge(image.width, image.height)) {
    png_image_free(&image);
    return tooLarge(path);
  }
  // Gray files are read as gray so that libpng never mixes channels; colour
  // files keep their channels for the bitmap import to weigh.
  const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.format = colour ? PNG_FORMAT_BGR : PNG_FORMAT_GRAY;
  // 16-bit samples without a gamma chunk are taken as sRGB like 8-bit ones,
  // so they scale to 8 bits instead of being re-encoded from linear light.
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, pixels.data(), 0, nullptr)) {
    const std::string reason = image.message;
    png_image_free(&image);
    return Status::failure(ErrorKind::MalformedFile, path + ": the PNG file cannot be decoded (" + reason + ")");
  }
  Bitmap bitmap = Bitmap::make24(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
  if (colour) {
    bitmap.pixels.assign(pixels.begin(), pixels.end());
  } else {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      bitmap.pixels[3 * i] = bitmap.pixels[3 * i + 1] = bitmap.pixels[3 * i + 2] = pixels[i];
    }
  }
  out = std::move(bitmap);
  return Status::success();
}

// Reads the width and height of a Netpbm header, skipping blanks and
// comments, so that a hostile size is refused before the loader allocates.
bool readNetpbmSize(const std::string& path, int64_t& width, int64_t& height) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) return false;
  std::vector<char> head(4096);
  const std::size_t got = std::fread(head.data(), 1, head.size(), stream);
  std::fclose(stream);
  std::size_t at = 2;  // past the magic number
  int64_t values[2] = {0, 0};
  for (int64_t& value : values) {
    for (;;) {
      while (at < got && std::isspace(static_cast<unsigned char>(head[at]))) ++at;
      if (at < got && head[at] == '#') {
        while (at < got && head[at] != '\n' && head[at] != '\r') ++at;
        continue;
      }
      break;
    }
    if (at >= got || !std::isdigit(static_cast<unsigned char>(head[at]))) return false;
    for (; at < got && std::isdigit(static_cast<unsigned char>(head[at])); ++at) {
      value = value * 10 + (head[at] - '0');
      if (value > kMaxBitmapPixels) break;  // already too large; keep no overflow
    }
  }
  width = values[0];
  height = values[1];
  return true;
}

Status decodeNetpbm(const std::string& path, Bitmap& out) {
  int64_t declaredWidth = 0;
  int64_t declaredHeight = 0;
  if (!readNetpbmSize(path, declaredWidth, declaredHeight)) {
    return Status::failure(ErrorKind::MalformedFile, path + ": not a readable PGM/PPM file (no size in its header)");
  }
  if (pictureTooLarge(declaredWidth, declaredHeight)) return tooLarge(path);

  int width = 0;
  int height = 0;
  int format = TJPF_UNKNOWN;
  unsigned char* pixels = tjLoadImage(path.c_str(), &width, 1, &height, &format, 0);
  if (!pixels) {
    return Status::failure(ErrorKind::MalformedFile,
                           path + ": the PGM/PPM file cannot be decoded (" + tjGetErrorStr2(nullptr) + ")");
  }
  Bitmap bitmap = Bitmap::make24(width, height);
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (format == TJPF_GRAY) {
    for (std::size_t i = 0; i < count; ++i) {
      bitmap.pixels[3 * i] = bitmap.pixels[3 * i + 1] = bitmap.pixels[3 * i + 2] = pixels[i];
    }
  } else if (format == TJPF_RGB) {
    for (std::size_t i = 0; i < count; ++i) {
      bitmap.pixels[3 * i] = pixels[3 * i + 2];
      bitmap.pixels[3 * i + 1] = pixels[3 * i + 1];
      bitmap.pixels[3 * i + 2] = pixels[3 * i];
    }
  } else {
    tjFree(pixels);
    return Status::failure(ErrorKind::MalformedFile, path + ": unexpected pixel layout from the PGM/PPM loader");
  }
  tjFree(pixels);
  out = std::move(bitmap);
  return Status::success();
}

}  // namespace

ImageFileKind sniffImageFile(const std::string& path) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) return ImageFileKind::Bitmap;
  unsigned char head[8] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, stream);
  std::fclose(stream);
  static constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got == 8 && std::equal(head, head + 8, kPngSignature)) return ImageFileKind::Png;
  if (got >= 3 && head[0] == 'P' && (head[1] == '2' || head[1] == '3' || head[1] == '5' || head[1] == '6') &&
      std::isspace(head[2])) {
    return ImageFileKind::Netpbm;
  }
  return ImageFileKind::Bitmap;
}

Status decodePicture(const std::string& path, ImageFileKind kind, Bitmap& out) {
  switch (kind) {
    case ImageFileKind::Png:
      return decodePng(path, out);
    case ImageFileKind::Netpbm:
      return decodeNetpbm(path, out);
    case ImageFileKind::Bitmap:
      break;
  }
  return readBmpFile(path, out);
}

BitmapInput::BitmapInput(const std::string& path) : kind_(sniffImageFile(path)), path_(path) {
  if (kind_ == ImageFileKind::Bitmap) return;
  Bitmap picture;
  status_ = decodePicture(path, kind_, picture);
  if (!status_) return;
  converted_ = std::make_unique<TemporaryFile>(".bmp");
  status_ = converted_->status();
  if (!status_) return;
  status_ = writeBmpFile(converted_->path(), picture);
  if (status_) path_ = converted_->path();
}

}  // namespace filamorph
