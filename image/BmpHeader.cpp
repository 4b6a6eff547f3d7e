#include "image/BmpHeader.h"

#include <algorithm>
#include <string>
#include <utility>

#include "image/BmpFile.h"

namespace filamorph {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kCoreHeaderBytes = 12;  // OS/2 1.x: 16-bit sizes, 3-byte palette entries
constexpr std::size_t kMaxPaletteEntries = 256;

// Compression codes of the info header.
constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;  // Huffman 1D in an OS/2 2.x header
constexpr uint32_t kAlphaBitFields = 6;

uint16_t readU16(std::span<const uint8_t> data, std::size_t at) {
  return static_cast<uint16_t>(data[at] | data[at + 1] << 8);
}

uint32_t readU32(std::span<const uint8_t> data, std::size_t at) {
  return static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
         static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
}

bool knownHeaderSize(uint32_t bytes) {
  return bytes == kCoreHeaderBytes || (bytes >= 16 && bytes <= 64) || bytes == 108 || bytes == 124;
}

// Sizes 40, 52 and 56 are the Windows info header and its bit-field variants;
// any other size from 16 to 64 is an OS/2 2.x header, whose compression codes
// 3 and 4 mean Huffman 1D and RLE24.
bool isOs2InfoHeader(uint32_t bytes) {
  return bytes >= 16 && bytes <= 64 && bytes != 40 && bytes != 52 && bytes != 56;
}

Status uncompressedFormat(uint16_t bitCount, PixelFormat& format) {
  switch (bitCount) {
    case 1:
      format = PixelFormat::Bits1;
      break;
    case 2:
      format = PixelFormat::Bits2;
      break;
    case 4:
      format = PixelFormat::Bits4;
      break;
    case 8:
      format = PixelFormat::Bits8;
      break;
    case 16:
      format = PixelFormat::Bits16;
      break;
    case 24:
      format = PixelFormat::Bits24;
      break;
    case 32:
      format = PixelFormat::Bits32;
      break;
    case 64:
      format = PixelFormat::Bits64;
      break;
    default:
      return Status::failure(ErrorKind::MalformedFile,
                             "invalid bit count " + std::to_string(bitCount) + " in the bitmap header");
  }
  return Status::success();
}

Status pixelFormat(uint32_t compression, uint16_t bitCount, bool os2, PixelFormat& format) {
  if (compression == kUncompressed) return uncompressedFormat(bitCount, format);
  if ((compression == kBitFields && !os2) || compression == kAlphaBitFields) {
    if (bitCount != 16 && bitCount != 32) {
      return Status::failure(ErrorKind::MalformedFile,
                             "bit-field masks with " + std::to_string(bitCount) + " bits per pixel");
    }
    format = bitCount == 16 ? PixelFormat::Bits16 : PixelFormat::Bits32;
    return Status::success();
  }
  // Run-length, Huffman, embedded JPEG or PNG, CMYK variants: never decoded.
  format = PixelFormat::Compressed;
  return Status::success();
}

void readPalette(std::span<const uint8_t> data, std::size_t start, std::size_t end, std::size_t entryBytes,
                 uint32_t colorsUsed, std::vector<Color>& palette) {
  // colorsUsed may be absurd: it only ever narrows what the file holds.
  std::size_t count = colorsUsed == 0 ? kMaxPaletteEntries : std::min<std::size_t>(colorsUsed, kMaxPaletteEntries);
  count = std::min(count, end > start ? (end - start) / entryBytes : 0);
  palette.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data.data() + start + i * entryBytes;
    palette[i] = static_cast<Color>(entry[2]) | static_cast<Color>(entry[1]) << 8 | static_cast<Color>(entry[0]) << 16;
  }
}

}  // namespace

Status parseBmpHeader(std::span<const uint8_t> data, BmpHeader& out) {
  if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') {
    return Status::failure(ErrorKind::MalformedFile, "not a BMP file (the 'BM' signature is missing)");
  }
  if (data.size() < kFileHeaderBytes + 4)
    return Status::failure(ErrorKind::MalformedFile, "the file ends inside the bitmap header");
  const uint32_t headerBytes = readU32(data, kFileHeaderBytes);
  if (!knownHeaderSize(headerBytes)) {
    return Status::failure(ErrorKind::MalformedFile, "unsupported bitmap header size " + std::to_string(headerBytes));
  }
  if (data.size() < kFileHeaderBytes + headerBytes)
    return Status::failure(ErrorKind::MalformedFile, "the file ends inside the bitmap header");

  const bool core = headerBytes == kCoreHeaderBytes;
  const std::size_t at = kFileHeaderBytes + 4;
  int64_t width = 0;
  int64_t height = 0;
  uint16_t planes = 0;
  BmpHeader header;
  uint32_t colorsUsed = 0;
  if (core) {
    width = readU16(data, at);
    height = readU16(data, at + 2);
    planes = readU16(data, at + 4);
    header.bitCount = readU16(data, at + 6);
  } else {
    width = static_cast<int32_t>(readU32(data, at));
    height = static_cast<int32_t>(readU32(data, at + 4));
    planes = readU16(data, at + 8);
    header.bitCount = readU16(data, at + 10);
    if (headerBytes >= 20) header.compression = readU32(data, at + 12);
    if (headerBytes >= 36) colorsUsed = readU32(data, at + 28);
  }

  if (planes != 1)
    return Status::failure(ErrorKind::MalformedFile,
                           "the bitmap header gives " + std::to_string(planes) + " planes instead of 1");
  if (width <= 0) return Status::failure(ErrorKind::MalformedFile, "invalid bitmap width " + std::to_string(width));
  if (height == 0) return Status::failure(ErrorKind::MalformedFile, "invalid bitmap height 0");
  header.topDown = height < 0;
  if (header.topDown) height = -height;
  if (width * height > kMaxBitmapPixels) {
    return Status::failure(ErrorKind::MalformedFile,
                           "bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                               " pixels is larger than the limit of " + std::to_string(kMaxBitmapPixels) + " pixels");
  }
  header.width = static_cast<int32_t>(width);
  header.height = static_cast<int32_t>(height);
  if (Status status = pixelFormat(header.compression, header.bitCount, isOs2InfoHeader(headerBytes), header.format);
      !status) {
    return status;
  }

  const std::size_t headersEnd = kFileHeaderBytes + headerBytes;
  const uint32_t offset = readU32(data, 10);
  if (offset < headersEnd) {
    return Status::failure(ErrorKind::MalformedFile,
                           "pixel data offset " + std::to_string(offset) + " lies inside the bitmap header");
  }
  if (offset > data.size()) {
    return Status::failure(ErrorKind::MalformedFile, "pixel data offset " + std::to_string(offset) +
                                                         " lies past the end of the file (" +
                                                         std::to_string(data.size()) + " bytes)");
  }
  header.pixelOffset = offset;

  if (header.format != PixelFormat::Compressed) {
    // The last row may omit its padding; every other row is stored in full.
    const int64_t rowBits = width * header.bitCount;
    const int64_t rowBytes = (rowBits + 31) / 32 * 4;
    const int64_t needed = rowBytes * (height - 1) + (rowBits + 7) / 8;
    if (needed > static_cast<int64_t>(data.size() - offset)) {
      return Status::failure(ErrorKind::MalformedFile, "bitmap data ends before the last row");
    }
    header.fileRowBytes = static_cast<std::size_t>(rowBytes);
  }

  if (header.format == PixelFormat::Bits8) {
    readPalette(data, headersEnd, offset, core ? 3 : 4, colorsUsed, header.palette);
  }
  out = std::move(header);
  return Status::success();
}

}  // namespace filamorph
