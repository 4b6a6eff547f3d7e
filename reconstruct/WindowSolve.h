#ifndef FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
#define FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
// The exact solve of the fill-in system on a window of the image, the levels
// around it held: the local step of the search for the held set.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/BandCholesky.h"
#include "reconstruct/DenseCholesky.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/HeldSet.h"

namespace filamorph {

// The work of factoring a window, twice its multiply-adds: the pixels times
// the square of the band's width (two lines and two pixels of the shorter
// side).
int64_t windowSolveWork(const PixelWindow& window);

// Keeps its factorisation from one solve of a window to the next. Pixels held
// since the factorisation become constraints on its unknowns (a capacitance
// system of their own, small and dense), which costs a few triangular solves
// instead of a factorisation; a pixel freed that was held when the window was
// factored, or more constraints than the solver keeps, factor again from the
// first changed pixel on. The operator's stencils must stay the same between
// solves of one solver; only its fixed pixels may change.
class WindowSolver {
 public:
  // Sets the free pixels of `window` in x to the solution of their own
  // equations, every other pixel keeping its level in x. The window lies
  // inside the image and leaves at least one pixel of it out, which makes the
  // system of its pixels definite.
  void solve(const FineOperator& op, const PixelWindow& window, std::vector<double>& x);

 private:
  // The columns L^-1 e_i of the pixels held since the factorisation, kept
  // while the factor stands, each with its inner products with those before.
  struct Constraint {
    std::size_t index;  // in the window's order
    std::vector<double> column;
    std::vector<double> products;  // with the columns of the constraints before it
  };
  // Makes the constraints of the pixels at `indices` that have none yet.
  void addConstraints(const std::vector<std::size_t>& indices);
  // The place in constraints_ of the constraint of the pixel at `index`, or
  // constraints_.size() when it has none.
  std::size_t slotOf(std::size_t index) const;
  // The inner product of the columns of two constraints.
  double product(std::size_t a, std::size_t b) const;

  BandCholesky system_;
  std::vector<double> values_;
  // The window the factor is of, and which of its pixels were unknowns then.
  PixelWindow factored_;
  std::vector<uint8_t> factoredUnknowns_;
  std::vector<uint8_t> unknownsNow_;
  // The known part of each equation of the factored system: knownBase_
  // less coefficient x levels[cell] over the terms, in order.
  struct KnownTerm {
    std::size_t index;
    std::ptrdiff_t cell;
    double coefficient;
  };
  std::vector<double> knownBase_;
  std::vector<KnownTerm> knownTerms_;
  std::vector<Constraint> constraints_;
  DenseCholesky capacitance_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_WINDOWSOLVE_H
