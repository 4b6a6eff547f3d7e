#include "image/GrayImageFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/FileReplace.h"
#include "image/Bitmap.h"
#include "image/BmpFile.h"

namespace filamorph {
namespace {

std::string lowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

bool writePgm(std::FILE* file, std::span<const uint8_t> gray, int32_t rows, int32_t cols) {
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  return std::fprintf(file, "P5\n%d %d\n255\n", cols, rows) > 0 && std::fwrite(gray.data(), 1, count, file) == count;
}

Status writePgmFile(const std::string& path, std::span<const uint8_t> gray, int32_t rows, int32_t cols) {
  ReplacingFile target(path);
  if (target.temporaryPath().empty()) return target.commit();
  std::FILE* file = std::fopen(target.temporaryPath().c_str(), "wb");
  if (file == nullptr)
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": " + std::strerror(errno));
  const bool written = writePgm(file, gray, rows, cols);
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written) {
    return Status::failure(ErrorKind::InputOutput,
                           "Cannot write " + path + ": " + std::strerror(written ? errno : writeError));
  }
  return target.commit();
}

Status writeGrayBmpFile(const std::string& path, std::span<const uint8_t> gray, int32_t rows, int32_t cols) {
  Bitmap bitmap = Bitmap::make24(cols, rows);
  uint8_t* bgr = bitmap.pixels.data();
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  for (std::size_t i = 0; i < count; ++i, bgr += 3) bgr[0] = bgr[1] = bgr[2] = gray[i];
  return writeBmpFile(path, bitmap);
}

}  // namespace

Status writeGrayImageFile(const std::string& path, std::span<const uint8_t> gray, int32_t rows, int32_t cols) {
  if (rows <= 0 || cols <= 0)
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": the image is empty");
  if (gray.size() / static_cast<std::size_t>(cols) < static_cast<std::size_t>(rows)) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": fewer gray levels than rows x cols");
  }
  if (path == "-") {
    if (!writePgm(stdout, gray, rows, cols) || std::fflush(stdout) != 0) {
      return Status::failure(ErrorKind::InputOutput,
                             std::string("Cannot write to standard output: ") + std::strerror(errno));
    }
    return Status::success();
  }
  const std::string extension = lowerExtension(path);
  if (extension == ".pgm") return writePgmFile(path, gray, rows, cols);
  if (extension == ".bmp") return writeGrayBmpFile(path, gray, rows, cols);
  return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": unknown image type \"" + extension +
                                                     "\" (use .pgm or .bmp, or - for PGM on standard output)");
}

Status writeGrayImageFile(const std::string& path, const Plane<uint8_t>& plane) {
  return writeGrayImageFile(path, std::span<const uint8_t>(plane.data(), plane.size()), plane.rows(), plane.cols());
}

}  // namespace filamorph
