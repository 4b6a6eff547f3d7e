// Thinning the edge map to one-pixel-wide edges.
#include <array>

#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

// Neighbours 1..8 (stored at 0..7), counter-clockwise from the right.
constexpr int32_t kRing[8][2] = {{0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}};

using Ring = std::array<bool, 8>;

// Which neighbours are set; positions outside the map count as unset.
Ring ringAt(const Plane<uint8_t>& map, int32_t r, int32_t c) {
  Ring ring{};
  const bool inner = r > 0 && r < map.rows() - 1 && c > 0 && c < map.cols() - 1;
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t nr = r + kRing[k][0];
    const int32_t nc = c + kRing[k][1];
    if (inner || (nr >= 0 && nr < map.rows() && nc >= 0 && nc < map.cols())) ring[k] = map[nr][nc] != 0;
  }
  return ring;
}

int32_t setCount(const Ring& ring) {
  int32_t n = 0;
  for (bool set : ring) n += set ? 1 : 0;
  return n;
}

// Changes between set and unset going once round the ring.
int32_t transitions(const Ring& ring) {
  int32_t t = 0;
  for (int32_t k = 0; k < 8; ++k) t += ring[k] != ring[(k + 1) % 8] ? 1 : 0;
  return t;
}

// Exactly one run of three to five set neighbours: the pixel lies on the
// flank of a thick edge.
bool deletableBySingleRun(const Ring& ring) {
  const int32_t n = setCount(ring);
  return transitions(ring) == 2 && n >= 3 && n <= 5;
}

// Going round from the last set neighbour, exactly one gap opened by an unset
// side neighbour: removing the pixel cannot split the edge.
bool deletableBySingleGap(const Ring& ring) {
  const int32_t n = setCount(ring);
  const int32_t t = transitions(ring);
  if (n < 2 || n > 6 || (n == 2 && t < 4) || (n == 3 && t > 4)) return false;
  int32_t last = 7;
  while (!ring[last]) --last;
  bool inGap = false;
  int32_t gaps = 0;
  for (int32_t step = 1; step <= 7; ++step) {
    const int32_t k = (last + step) % 8;
    if (inGap) {
      if (ring[k]) inGap = false;
    } else if (!ring[k] && k % 2 == 0) {  // index 0, 2, 4, 6: the side neighbours 1, 3, 5, 7
      inGap = true;
      ++gaps;
    }
  }
  return gaps == 1;
}

// Repeats raster scans that delete in place until one scan deletes nothing.
template <typename Deletable>
void thinUntilStable(Plane<uint8_t>& map, Deletable deletable) {
  bool deleted = true;
  while (deleted) {
    deleted = false;
    for (int32_t r = 0; r < map.rows(); ++r) {
      uint8_t* row = map[r];
      for (int32_t c = 0; c < map.cols(); ++c) {
        if (row[c] != 0 && deletable(ringAt(map, r, c))) {
          row[c] = 0;
          deleted = true;
        }
      }
    }
  }
}

}  // namespace

void EdgeDetector::thinEdges() {
  if (edgePlanesAllocated == 0) return;
  thinUntilStable(edgeMap, deletableBySingleRun);
  thinUntilStable(edgeMap, deletableBySingleGap);
}

}  // namespace filamorph
