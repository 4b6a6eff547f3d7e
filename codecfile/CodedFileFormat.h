#ifndef FILAMORPH_CODECFILE_CODEDFILEFORMAT_H
#define FILAMORPH_CODECFILE_CODEDFILEFORMAT_H
// Constants and small codes of the compressed ".flm" file, shared by its writer and reader.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace filamorph::codedfile {

// Every segment starts with kMarkerPrefix and one of the three markers.
inline constexpr uint32_t kMarkerPrefix = 0xFF;
inline constexpr uint32_t kSizeMarker = 0xD0;
inline constexpr uint32_t kContourMarker = 0x90;
inline constexpr uint32_t kAttributeMarker = 0x80;

// The largest image side, contour count and extent that the fields carry.
inline constexpr int32_t kMaxSide = 65535;
inline constexpr int32_t kMaxContours = 255;
inline constexpr int32_t kMaxExtent = 31;
// Turn symbol 7, a step straight back, doubles as the end of every chain.
inline constexpr int32_t kEndSymbol = 7;
inline constexpr int kExtentBits = 5;
inline constexpr int kWeightBits = 8;
inline constexpr int kBaseBits = 9;
// With a weight step of 0 the single base level gets one bit less.
inline constexpr int kSharedBaseBits = 8;
inline constexpr int32_t kLevelOffset = 128;

// Number of halvings that bring value to 0: the bit width of the size fields.
inline int bitWidth(uint32_t value) {
  int width = 0;
  for (; value != 0; value >>= 1) ++width;
  return width;
}

// 3 goes straight on, 4..6 and 2..0 turn by one to three eighths towards
// higher and lower codes, 7 steps straight back.
inline int32_t turnSymbol(int32_t previousCode, int32_t code) {
  return (code - previousCode + 3 + 8) % 8;
}

// The direction after a turn symbol; symbol 8 (a rank no symbol holds) wraps.
inline int32_t turnedCode(int32_t previousCode, int32_t symbol) {
  return (previousCode + symbol + 5) % 8;
}

// The first symbol holding rank, or 8 when none does.
inline int32_t symbolOfRank(const std::array<int32_t, 8>& ranks, int32_t rank) {
  for (int32_t symbol = 0; symbol < 8; ++symbol) {
    if (ranks[static_cast<std::size_t>(symbol)] == rank) return symbol;
  }
  return 8;
}

// A chain holds at most 8 visits of every pixel; longer ones are refused.
inline int64_t maxChainPoints(int32_t rows, int32_t cols) {
  return static_cast<int64_t>(rows) * static_cast<int64_t>(cols) * 8;
}

inline int32_t clampExtent(int32_t extent) {
  return extent < 0 ? 0 : (extent > kMaxExtent ? kMaxExtent : extent);
}

// trunc(value) clamped into low..high; NaN becomes 0.
inline int32_t truncatedInto(float value, int32_t low, int32_t high) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<float>(low)) return low;
  if (value >= static_cast<float>(high)) return high;
  return static_cast<int32_t>(value);
}

inline int32_t quantizedWeight(float weight) {
  return truncatedInto(weight, -128, 127);
}
inline int32_t quantizedBaseLevel(float level) {
  return truncatedInto(level, -128, 383);
}

}  // namespace filamorph::codedfile

#endif  // FILAMORPH_CODECFILE_CODEDFILEFORMAT_H
