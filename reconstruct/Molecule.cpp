#include "reconstruct/Molecule.h"

#include <span>

namespace filamorph {

namespace {

// How close a pixel is to the edges of one axis; a lower value is nearer.
enum class Closeness : uint8_t { Edge = 0, Second = 1, Inner = 2 };

Closeness closenessOf(AxisPlace place) {
  switch (place) {
    case AxisPlace::NearEdge:
    case AxisPlace::FarEdge:
      return Closeness::Edge;
    case AxisPlace::NearSecond:
    case AxisPlace::FarSecond:
      return Closeness::Second;
    case AxisPlace::Inner:
      break;
  }
  return Closeness::Inner;
}

bool isFarSide(AxisPlace place) { return place == AxisPlace::FarEdge || place == AxisPlace::FarSecond; }

struct Term {
  int8_t row;
  int8_t col;
  int8_t plateFactor;
  int8_t constant;
};

// The six classes, drawn for a pixel near the top and left edges whose row is
// at least as close to an edge as its column. Own coefficient first.
constexpr Term kInnerInner[] = {
    {0, 0, 16, 4},
    {-1, 0, -7, -1}, {1, 0, -7, -1}, {0, -1, -7, -1}, {0, 1, -7, -1},
    {-1, -1, 2, 0}, {-1, 1, 2, 0}, {1, -1, 2, 0}, {1, 1, 2, 0},
    {-2, 0, 1, 0}, {2, 0, 1, 0}, {0, -2, 1, 0}, {0, 2, 1, 0},
};
constexpr Term kSecondInner[] = {
    {0, 0, 15, 4},
    {1, 0, -7, -1}, {0, -1, -7, -1}, {0, 1, -7, -1}, {-1, 0, -5, -1},
    {-1, -1, 2, 0}, {-1, 1, 2, 0}, {1, -1, 2, 0}, {1, 1, 2, 0},
    {2, 0, 1, 0}, {0, -2, 1, 0}, {0, 2, 1, 0},
};
constexpr Term kEdgeInner[] = {
    {0, 0, 8, 3},
    {1, 0, -5, -1}, {0, -1, -5, -1}, {0, 1, -5, -1},
    {1, -1, 2, 0}, {1, 1, 2, 0},
    {2, 0, 1, 0}, {0, -2, 1, 0}, {0, 2, 1, 0},
};
constexpr Term kSecondSecond[] = {
    {0, 0, 14, 4},
    {1, 0, -7, -1}, {0, 1, -7, -1}, {-1, 0, -5, -1}, {0, -1, -5, -1},
    {-1, -1, 2, 0}, {-1, 1, 2, 0}, {1, -1, 2, 0}, {1, 1, 2, 0},
    {2, 0, 1, 0}, {0, 2, 1, 0},
};
constexpr Term kEdgeSecond[] = {
    {0, 0, 7, 3},
    {1, 0, -5, -1}, {0, 1, -5, -1}, {0, -1, -3, -1},
    {1, -1, 2, 0}, {1, 1, 2, 0},
    {2, 0, 1, 0}, {0, 2, 1, 0},
};
constexpr Term kEdgeEdge[] = {
    {0, 0, 2, 2},
    {1, 0, -3, -1}, {0, 1, -3, -1},
    {1, 1, 2, 0},
    {2, 0, 1, 0}, {0, 2, 1, 0},
};

// rowCloseness <= colCloseness.
std::span<const Term> drawnClass(Closeness rowCloseness, Closeness colCloseness) {
  switch (rowCloseness) {
    case Closeness::Inner:
      return kInnerInner;
    case Closeness::Second:
      return colCloseness == Closeness::Inner ? std::span<const Term>(kSecondInner) : kSecondSecond;
    case Closeness::Edge:
      break;
  }
  if (colCloseness == Closeness::Inner) return kEdgeInner;
  return colCloseness == Closeness::Second ? std::span<const Term>(kEdgeSecond) : kEdgeEdge;
}

int stencilSlot(int row, int col) {
  for (int slot = 0; slot < kStencilSize; ++slot)
    if (kStencil[slot].row == row && kStencil[slot].col == col) return slot;
  return -1;  // unreachable: every drawn term lies on the stencil
}

}  // namespace

Molecule moleculeAt(AxisPlace rowPlace, AxisPlace colPlace) {
  const Closeness rowCloseness = closenessOf(rowPlace);
  const Closeness colCloseness = closenessOf(colPlace);
  // A pixel whose column is nearer an edge than its row uses the drawn
  // molecule with rows and columns exchanged.
  const bool transposed = colCloseness < rowCloseness;
  const std::span<const Term> terms =
      transposed ? drawnClass(colCloseness, rowCloseness) : drawnClass(rowCloseness, colCloseness);
  const int rowSign = isFarSide(rowPlace) ? -1 : 1;
  const int colSign = isFarSide(colPlace) ? -1 : 1;

  Molecule molecule;
  for (const Term& term : terms) {
    const int row = transposed ? term.col : term.row;
    const int col = transposed ? term.row : term.col;
    const int slot = stencilSlot(row * rowSign, col * colSign);
    molecule.present[slot] = true;
    molecule.plateFactor[slot] = term.plateFactor;
    molecule.constant[slot] = term.constant;
  }
  return molecule;
}

}  // namespace filamorph
