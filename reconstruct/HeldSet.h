#ifndef FILAMORPH_RECONSTRUCT_HELDSET_H
#define FILAMORPH_RECONSTRUCT_HELDSET_H
// The rules by which the converged solver moves pixels into and out of the
// set held at the bounds 0 and 255.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

inline constexpr double kLowestLevel = 0.0;
inline constexpr double kHighestLevel = 255.0;

struct HeldSetRule {
  // How far in levels a pixel may overshoot a bound, or a held pixel may pull
  // away from it, before the set changes: above the error of the solve the
  // rule follows, so that the error does not make a pixel flip back and forth.
  double slack;
  // A free pixel past a bound is held at it when no free pixel next to it
  // overshoots further: holding every overshooting pixel at once holds far
  // more than the minimiser does, and freeing them again takes a pass for
  // each ring of the held region.
  // With `growHeld`, a free pixel past a bound next to a held one is held as
  // well: once the large overshoots are held, the pixels they push past the
  // bound lie around them, a small way past it.
  bool growHeld;
};

// A rectangle of pixels: rows [firstRow, endRow), columns [firstCol, endCol).
struct PixelWindow {
  int32_t firstRow = 0, endRow = 0, firstCol = 0, endCol = 0;

  bool contains(int32_t row, int32_t col) const {
    return row >= firstRow && row < endRow && col >= firstCol && col < endCol;
  }
  int64_t area() const { return static_cast<int64_t>(endRow - firstRow) * (endCol - firstCol); }
  bool operator==(const PixelWindow&) const = default;
};

struct HeldSetChange {
  bool freed = false;
  bool held = false;
  bool any() const { return freed || held; }
};

// How far a free pixel's level lies past a bound, or 0. Inline: the searches
// for the held set ask it of every pixel of the image.
inline double overshoot(const FineOperator& op, const std::vector<double>& x, std::ptrdiff_t cell) {
  const double value = x[static_cast<std::size_t>(cell)];
  if (value >= kLowestLevel && value <= kHighestLevel) return 0.0;
  if ((op.state(cell) & FineOperator::kFixed) != 0) return 0.0;
  return value < kLowestLevel ? kLowestLevel - value : value - kHighestLevel;
}

// Changes the held set within `window` after a solve that left x: a held
// pixel whose energy would fall by moving inside is freed, and a free pixel
// past a bound is held at it as `rule` says. Held pixels are set to their
// bound in x and listed in `heldCells`, which holds the held pixels of the
// whole image. The window's rows are searched on `threads` when given; the
// result is the same with any number.
HeldSetChange updateHeldSet(const HeldSetRule& rule, FineOperator& op, std::vector<double>& x,
                            std::vector<std::ptrdiff_t>& heldCells, const PixelWindow& window,
                            const SolverThreads* threads = nullptr);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_HELDSET_H
