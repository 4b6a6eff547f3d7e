#ifndef FILAMORPH_RECONSTRUCT_MOLECULE_H
#define FILAMORPH_RECONSTRUCT_MOLECULE_H
// The molecules of the smoothness energy: which neighbours a pixel's equation
// couples and with what weight, by the pixel's place against the image edges.

#include <array>
#include <cstdint>

namespace filamorph {

// Where an index lies along one axis of a plane of at least 4 cells. Index 0
// is the near edge, count - 1 the far edge; "second" is one step inside an
// edge; everything two or more steps from both edges is inner.
enum class AxisPlace : uint8_t { NearEdge, NearSecond, Inner, FarSecond, FarEdge };
inline constexpr int kAxisPlaceCount = 5;

// Inner is tested first: it is by far the most common place.
constexpr AxisPlace axisPlace(int32_t index, int32_t count) {
  if (index >= 2 && index < count - 2) return AxisPlace::Inner;
  if (index == 0) return AxisPlace::NearEdge;
  if (index == 1) return AxisPlace::NearSecond;
  if (index == count - 1) return AxisPlace::FarEdge;
  return AxisPlace::FarSecond;
}

struct StencilOffset {
  int8_t row;
  int8_t col;
};

// The thirteen cells a molecule can reach, in the order in which the residual
// adds their terms: the pixel itself, the rows above and below it (each from
// left to right), then its own row to the right, and the two left neighbours
// last, because within a sweep they are the values updated most recently.
inline constexpr int kStencilSize = 13;
inline constexpr std::array<StencilOffset, kStencilSize> kStencil = {{
    {0, 0},
    {-2, 0},
    {-1, -1}, {-1, 0}, {-1, 1},
    {1, -1}, {1, 0}, {1, 1},
    {2, 0},
    {0, 1}, {0, 2},
    {0, -2}, {0, -1},
}};

// A molecule: coefficient (a x N + b) at each stencil cell that it couples,
// N being the thin plate's share of the energy. Slot 0 is the pixel's own
// coefficient; the coefficients of a molecule sum to zero.
struct Molecule {
  std::array<bool, kStencilSize> present{};
  std::array<int8_t, kStencilSize> plateFactor{};  // a
  std::array<int8_t, kStencilSize> constant{};     // b
};

// The molecule of a pixel at the given places; requires planes of at least
// 4 x 4, where every coupled cell lies inside the plane.
Molecule moleculeAt(AxisPlace rowPlace, AxisPlace colPlace);

inline Molecule moleculeAt(int32_t row, int32_t col, int32_t rows, int32_t cols) {
  return moleculeAt(axisPlace(row, rows), axisPlace(col, cols));
}

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_MOLECULE_H
