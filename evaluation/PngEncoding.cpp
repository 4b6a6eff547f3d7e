#include "evaluation/PngEncoding.h"

#include <png.h>

#include <stdexcept>

namespace filamorph::evaluation {

std::vector<uint8_t> encodeGrayPng(const Plane<uint8_t>& gray) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(gray.cols());
  image.height = static_cast<png_uint_32>(gray.rows());
  image.format = PNG_FORMAT_GRAY;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, gray.data(), 0, nullptr)) {
    throw std::runtime_error(std::string("libpng: ") + image.message);
  }
  std::vector<uint8_t> file(size);
  if (!png_image_write_to_memory(&image, file.data(), &size, 0, gray.data(), 0, nullptr)) {
    throw std::runtime_error(std::string("libpng: ") + image.message);
  }
  file.resize(size);
  return file;
}

std::string base64(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += kDigits[(group >> 6) & 63];
    text += kDigits[group & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    const uint32_t group = (uint32_t{bytes[i]} << 16) | (rest == 2 ? uint32_t{bytes[i + 1]} << 8 : 0u);
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += rest == 2 ? kDigits[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::string pngDataUri(const Plane<uint8_t>& gray) { return "data:image/png;base64," + base64(encodeGrayPng(gray)); }

}  // namespace filamorph::evaluation
