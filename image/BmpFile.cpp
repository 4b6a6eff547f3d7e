#include "image/BmpFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "base/FileReplace.h"
#include "image/BmpHeader.h"
#include "image/FileBytes.h"

namespace filamorph {
namespace {

// The largest acceptable picture with its padding, offsets and palette stays
// well below this; anything longer is refused before it is read.
constexpr std::uintmax_t kMaxBmpFileBytes = std::uintmax_t{1} << 30;

constexpr std::size_t kWrittenHeaderBytes = 14 + 40;

void putU16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void putU32(uint8_t* at, uint32_t value) {
  putU16(at, value);
  putU16(at + 2, value >> 16);
}

std::size_t paddedRowBytes(const Bitmap& bitmap) {
  return (bitmap.stride() + 3) / 4 * 4;
}

}  // namespace

Status decodeBmp(std::span<const uint8_t> data, Bitmap& out) {
  BmpHeader header;
  if (Status status = parseBmpHeader(data, header); !status) return status;

  // Nothing fails from here on: out is written in place, so that a picture
  // read again over one of the same size reuses its pixel storage.
  out.width = header.width;
  out.height = header.height;
  out.format = header.format;
  out.palette.clear();
  if (!out.hasPixels()) {
    out.pixels.clear();
    return Status::success();
  }
  // parseBmpHeader has checked that every stored row lies inside data.
  const std::size_t stride = out.stride();
  out.pixels.resize(stride * static_cast<std::size_t>(out.height));
  for (int32_t row = 0; row < out.height; ++row) {
    const std::size_t storedRow = static_cast<std::size_t>(header.topDown ? row : out.height - 1 - row);
    std::memcpy(out.scanLine(row), data.data() + header.pixelOffset + storedRow * header.fileRowBytes, stride);
  }
  if (out.format == PixelFormat::Bits8) out.palette = std::move(header.palette);
  return Status::success();
}

Status readBmpFile(const std::string& path, Bitmap& out) {
  FileBytes file;
  if (Status loaded = file.load(path, kMaxBmpFileBytes); !loaded) return loaded;
  if (Status status = decodeBmp(file.bytes(), out); !status) return status.withMessage(path + ": " + status.message());
  return Status::success();
}

Status writeBmpFile(const std::string& path, const Bitmap& bitmap) {
  if (!bitmap.hasPixels()) {
    return Status::failure(ErrorKind::InputOutput,
                           "Cannot write " + path + ": only 8-bit and 24-bit pictures are written");
  }
  if (bitmap.width <= 0 || bitmap.height <= 0)
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": the picture is empty");
  if (bitmap.pixels.size() < bitmap.stride() * static_cast<std::size_t>(bitmap.height)) {
    return Status::failure(ErrorKind::InputOutput,
                           "Cannot write " + path + ": the picture holds fewer pixels than its size");
  }

  const bool indexed = bitmap.format == PixelFormat::Bits8;
  const std::size_t paletteEntries = !indexed                 ? 0
                                     : bitmap.palette.empty() ? 256
                                                              : std::min<std::size_t>(bitmap.palette.size(), 256);
  const std::size_t rowBytes = paddedRowBytes(bitmap);
  const std::size_t offset = kWrittenHeaderBytes + paletteEntries * 4;
  const std::size_t fileBytes = offset + rowBytes * static_cast<std::size_t>(bitmap.height);
  if (fileBytes > UINT32_MAX)
    return Status::failure(ErrorKind::InputOutput,
                           "Cannot write " + path + ": the picture is too large for a BMP file");

  std::vector<uint8_t> head(offset, 0);
  head[0] = 'B';
  head[1] = 'M';
  putU32(&head[2], static_cast<uint32_t>(fileBytes));
  putU32(&head[10], static_cast<uint32_t>(offset));
  putU32(&head[14], 40);
  putU32(&head[18], static_cast<uint32_t>(bitmap.width));
  putU32(&head[22], static_cast<uint32_t>(bitmap.height));  // positive: rows stored bottom-up
  putU16(&head[26], 1);
  putU16(&head[28], indexed ? 8 : 24);
  putU32(&head[34], static_cast<uint32_t>(rowBytes * static_cast<std::size_t>(bitmap.height)));
  putU32(&head[38], 2835);  // 72 dots per inch
  putU32(&head[42], 2835);
  putU32(&head[46], static_cast<uint32_t>(paletteEntries));
  for (std::size_t i = 0; i < paletteEntries; ++i) {
    const Color color = bitmap.palette.empty() ? static_cast<Color>(i * 0x010101u) : bitmap.palette[i];
    uint8_t* entry = &head[kWrittenHeaderBytes + i * 4];
    entry[0] = static_cast<uint8_t>(color >> 16);
    entry[1] = static_cast<uint8_t>(color >> 8);
    entry[2] = static_cast<uint8_t>(color);
  }

  ReplacingFile target(path);
  if (target.temporaryPath().empty()) return target.commit();
  {
    std::ofstream file(target.temporaryPath(), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    std::vector<uint8_t> row(rowBytes, 0);
    for (int32_t r = bitmap.height - 1; r >= 0 && file; --r) {
      std::memcpy(row.data(), bitmap.scanLine(r), bitmap.stride());
      file.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(rowBytes));
    }
    file.close();
    if (!file) return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": " + std::strerror(errno));
  }
  return target.commit();
}

}  // namespace filamorph
