#ifndef FILAMORPH_CODECFILE_CODEDFILEFORMAT_H
#define FILAMORPH_CODECFILE_CODEDFILEFORMAT_H
// The compressed ".flm" file: its layout, constants and small codes, shared by its writer and reader.
//
// A file is a sequence of segments, each opening with the byte kMarkerPrefix
// (FF) and a marker byte. Fields are written most significant bit first and
// run on across byte boundaries (BitFile); the last byte is padded with zeros.
// Reading stops at the end of the file or at any other marker (the window
// then shows "End of the file" and keeps what came before).
//
//   segment    field                          bits           meaning
//   ---------  -----------------------------  -------------  -------------------------------------------------
//   size       FF D0                          8 + 8          marker (kSizeMarker)
//              width of the size fields B     8              bitWidth(max(rows, cols)), at most 16
//              rows, cols                     B + B          image height and width
//   contours   FF 90                          8 + 8          marker (kContourMarker); needs a size segment first
//              count                          8              contours, at most kMaxContours
//              rank of turn symbols 0..7      8 x 3          the prefix code: symbol s costs its rank's code
//              then, for every contour:
//                first point row, col         B + B          inside the image
//                first step's direction code  3              kNeighbourOffsets order (image/Compass.h)
//                turn symbols, as rank codes  1..7 each      rank r: r one-bits then a zero-bit; rank 7: seven
//                                                            one-bits alone; the end symbol's rank closes the chain
//   attributes FF 80                          8 + 8          marker (kAttributeMarker); needs a contour segment
//              then, for every contour:
//                extent step E                8              each extent pair covers E points (0: all of them)
//                left, right extent           5 + 5          per run of E points, 0..kMaxExtent
//                weight step W                8              each triple covers W points (0: all of them)
//                left, middle weight          8 + 8          stored + kLevelOffset; the right weight is minus
//                                                            their sum
//                base level                   9 (8 if W = 0) stored + kLevelOffset
//
// A turn symbol is the change of direction from one step to the next
// (turnSymbol): 3 goes straight on, 7 would step straight back and so marks
// the end of a chain. The writer always writes steps of 1 (one record per
// point) and the size fields in the fewest bits that hold both sides.

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
