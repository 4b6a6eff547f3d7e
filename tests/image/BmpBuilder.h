#ifndef FILAMORPH_TESTS_IMAGE_BMPBUILDER_H
#define FILAMORPH_TESTS_IMAGE_BMPBUILDER_H
// Small BMP files built byte by byte, so that each test can bend one field.

#include <cstdint>
#include <cstring>
#include <vector>

namespace filamorph::testing {

struct BmpLayout {
  int32_t width = 3;
  int32_t height = 2;            // negative: rows stored top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t headerBytes = 40;     // 12 writes the OS/2 core header
  uint16_t planes = 1;
  uint32_t colorsUsed = 0;
  uint32_t paletteEntries = 0;   // entries actually stored
  uint32_t gapBytes = 0;         // between palette and pixels
};

inline void put16(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

inline void put32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
  put16(bytes, at, value);
  put16(bytes, at + 2, value >> 16);
}

// Stored rows, padded to four bytes, in file order. Pixel byte i of the file's
// row r is (r * 16 + i) & 0xFF unless pixels are given.
inline std::vector<uint8_t> buildBmp(const BmpLayout& layout, const std::vector<uint8_t>& pixels = {}) {
  const bool core = layout.headerBytes == 12;
  const std::size_t entryBytes = core ? 3 : 4;
  const std::size_t rows = static_cast<std::size_t>(layout.height < 0 ? -int64_t{layout.height} : layout.height);
  const std::size_t rowBytes = (static_cast<std::size_t>(layout.width) * layout.bitCount + 31) / 32 * 4;
  const std::size_t offset = 14 + layout.headerBytes + layout.paletteEntries * entryBytes + layout.gapBytes;
  std::vector<uint8_t> bytes(offset, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(bytes, 10, static_cast<uint32_t>(offset));
  put32(bytes, 14, layout.headerBytes);
  if (core) {
    put16(bytes, 18, static_cast<uint32_t>(layout.width));
    put16(bytes, 20, static_cast<uint32_t>(layout.height));
    put16(bytes, 22, layout.planes);
    put16(bytes, 24, layout.bitCount);
  } else {
    put32(bytes, 18, static_cast<uint32_t>(layout.width));
    put32(bytes, 22, static_cast<uint32_t>(layout.height));
    put16(bytes, 26, layout.planes);
    put16(bytes, 28, layout.bitCount);
    if (layout.headerBytes >= 20) put32(bytes, 30, layout.compression);
    if (layout.headerBytes >= 36) put32(bytes, 46, layout.colorsUsed);
  }
  for (std::size_t i = 0; i < layout.paletteEntries; ++i) {
    uint8_t* entry = &bytes[14 + layout.headerBytes + i * entryBytes];
    entry[0] = static_cast<uint8_t>(255 - i);  // blue
    entry[1] = static_cast<uint8_t>(i);        // green
    entry[2] = static_cast<uint8_t>(i / 2);    // red
  }
  if (!pixels.empty()) {
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  } else {
    for (std::size_t r = 0; r < rows; ++r) {
      for (std::size_t i = 0; i < rowBytes; ++i) bytes.push_back(static_cast<uint8_t>(r * 16 + i));
    }
  }
  put32(bytes, 2, static_cast<uint32_t>(bytes.size()));
  return bytes;
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_IMAGE_BMPBUILDER_H
