// Thinning the edge map to one-pixel-wide edges.
#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "edges/EdgeDetector.h"
#include "image/Compass.h"
#include "image/NonZeroBits.h"

namespace filamorph {
namespace {

// Neighbours 1..8, counter-clockwise from the right; neighbour k is bit k-1
// of a ring mask.
constexpr const DirectionTable& kRing = kNeighbourOffsets;

using RingMask = uint32_t;

constexpr bool isSet(RingMask ring, int32_t index) {
  return ((ring >> index) & 1u) != 0;
}

constexpr int32_t setCount(RingMask ring) {
  int32_t n = 0;
  for (int32_t k = 0; k < 8; ++k) n += isSet(ring, k) ? 1 : 0;
  return n;
}

// Changes between set and unset going once round the ring.
constexpr int32_t transitions(RingMask ring) {
  int32_t t = 0;
  for (int32_t k = 0; k < 8; ++k) t += isSet(ring, k) != isSet(ring, (k + 1) % 8) ? 1 : 0;
  return t;
}

// Exactly one run of three to five set neighbours: the pixel lies on the
// flank of a thick edge.
constexpr bool deletableBySingleRun(RingMask ring) {
  const int32_t n = setCount(ring);
  return transitions(ring) == 2 && n >= 3 && n <= 5;
}

// Going round from the last set neighbour, exactly one gap opened by an unset
// side neighbour: removing the pixel cannot split the edge.
constexpr bool deletableBySingleGap(RingMask ring) {
  const int32_t n = setCount(ring);
  const int32_t t = transitions(ring);
  if (n < 2 || n > 6 || (n == 2 && t < 4) || (n == 3 && t > 4)) return false;
  int32_t last = 7;
  while (!isSet(ring, last)) --last;
  bool inGap = false;
  int32_t gaps = 0;
  for (int32_t step = 1; step <= 7; ++step) {
    const int32_t k = (last + step) % 8;
    if (inGap) {
      if (isSet(ring, k)) inGap = false;
    } else if (!isSet(ring, k) && k % 2 == 0) {  // bits 0, 2, 4, 6: the side neighbours 1, 3, 5, 7
      inGap = true;
      ++gaps;
    }
  }
  return gaps == 1;
}

// Both tests depend on the ring alone, so they are tabulated once.
template <bool (*kTest)(RingMask)>
constexpr std::array<bool, 256> tabulate() {
  std::array<bool, 256> table{};
  for (RingMask ring = 0; ring < 256; ++ring) table[ring] = kTest(ring);
  return table;
}
constexpr std::array<bool, 256> kSingleRun = tabulate<deletableBySingleRun>();
constexpr std::array<bool, 256> kSingleGap = tabulate<deletableBySingleGap>();

// Which neighbours are set; positions outside the map count as unset.
RingMask ringAt(const Plane<uint8_t>& map, int32_t r, int32_t c) {
  if (r > 0 && r < map.rows() - 1 && c > 0 && c < map.cols() - 1) {
    const uint8_t* above = map[r - 1];
    const uint8_t* here = map[r];
    const uint8_t* below = map[r + 1];
    return RingMask{here[c + 1] != 0} | RingMask{above[c + 1] != 0} << 1 | RingMask{above[c] != 0} << 2 |
           RingMask{above[c - 1] != 0} << 3 | RingMask{here[c - 1] != 0} << 4 | RingMask{below[c - 1] != 0} << 5 |
           RingMask{below[c] != 0} << 6 | RingMask{below[c + 1] != 0} << 7;
  }
  RingMask ring = 0;
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t nr = r + kRing[k][0];
    const int32_t nc = c + kRing[k][1];
    if (nr >= 0 && nr < map.rows() && nc >= 0 && nc < map.cols() && map[nr][nc] != 0) ring |= RingMask{1} << k;
  }
  return ring;
}

// Repeats raster scans that delete in place until one scan deletes nothing.
// A pixel whose eight neighbours have not changed since it was last examined
// gives the same answer again, so after a first scan of all set pixels a scan
// examines only the pending ones: those next to a deletion made after their
// last examination. The result is that of full scans. pending is all zero on
// entry and on return. A row flag, set with every pending mark in its row,
// lets the later scans pass over rows with nothing pending without reading them.
void thinUntilStable(Plane<uint8_t>& map, const std::array<bool, 256>& deletable, std::vector<uint8_t>& pending) {
  const int32_t rows = map.rows();
  const int32_t cols = map.cols();
  auto pendingRow = [&](int32_t r) {
    return pending.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(cols);
  };
  std::vector<uint8_t> rowPending(static_cast<std::size_t>(rows), 0);
  bool firstScan = true;
  bool deleted = true;
  while (deleted) {
    deleted = false;
    for (int32_t r = 0; r < rows; ++r) {
      if (!firstScan && rowPending[static_cast<std::size_t>(r)] == 0) continue;
      // Marks this scan makes in the row ahead of the scan are seen in this
      // scan; those behind it set the flag again.
      rowPending[static_cast<std::size_t>(r)] = 0;
      uint8_t* row = map[r];
      uint8_t* waiting = pendingRow(r);
      const uint8_t* examined = firstScan ? row : waiting;
      for (int32_t c0 = 0; c0 < cols; c0 += kNonZeroBitsWidth) {
        const int32_t width = std::min(kNonZeroBitsWidth, cols - c0);
        for (uint64_t bits = nonZeroBits(examined + c0, width); bits != 0; bits &= bits - 1) {
          const int32_t c = c0 + std::countr_zero(bits);
          waiting[c] = 0;
          if (row[c] == 0 || !deletable[ringAt(map, r, c)]) continue;
          row[c] = 0;
          deleted = true;
          for (const auto& [dr, dc] : kRing) {
            const int32_t nr = r + dr;
            const int32_t nc = c + dc;
            if (nr >= 0 && nr < rows && nc >= 0 && nc < cols && map[nr][nc] != 0) {
              pendingRow(nr)[nc] = 1;
              rowPending[static_cast<std::size_t>(nr)] = 1;
            }
          }
          // The one mark ahead of the scan in this row, on a later scan,
          // joins the columns still to be examined.
          if (!firstScan && c + 1 < c0 + width && waiting[c + 1] != 0) bits |= uint64_t{1} << (c + 1 - c0);
        }
      }
    }
    firstScan = false;
  }
}

}  // namespace

void EdgeDetector::thinEdges() {
  if (edgePlanesAllocated == 0) return;
  thinningPending_.assign(edgeMap.size(), 0);
  thinUntilStable(edgeMap, kSingleRun, thinningPending_);
  thinUntilStable(edgeMap, kSingleGap, thinningPending_);
}

}  // namespace filamorph
