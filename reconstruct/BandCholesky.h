#ifndef FILAMORPH_RECONSTRUCT_BANDCHOLESKY_H
#define FILAMORPH_RECONSTRUCT_BANDCHOLESKY_H
// A Cholesky factorisation of a symmetric positive definite band matrix,
// stored column by column: the direct solves of a window of the fill-in
// system and of the multigrid cycle's coarsest level.

#include <cstddef>
#include <vector>

namespace filamorph {

// Column j of the lower triangle holds the entries of rows j .. j + width.
// The factorisation subtracts each column's outer product from the columns
// after it, so that its inner loops run along contiguous columns.
class BandCholesky {
 public:
  // An n x n matrix of the given band width, every entry 0; the storage of
  // the matrix before is kept for reuse.
  void reset(std::size_t n, std::size_t width);

  // Entry (i, j) of the lower triangle, i in j .. j + width; 0 until set.
  double& at(std::size_t i, std::size_t j) { return band_[j * (width_ + 1) + (i - j)]; }

  // Sets the entries of the rows from firstRow on to 0, keeping those before.
  void clearRowsFrom(std::size_t firstRow);
  // Factors in place the rows from firstRow on; the rows before must hold
  // the factor of a matrix that agrees with this one in them (an earlier
  // `factor`), and the result is the same bit for bit as factoring the whole.
  // A pivot that rounding has left at or below zero is raised to a tiny
  // share of its diagonal entry, so the factor always exists.
  void factor(std::size_t firstRow = 0);
  // Solves in place, after `factor`: L L^T x = values.
  void solve(std::vector<double>& values) const;
  // The two halves of `solve` on n values: L y = values, and L^T x = values.
  void solveLower(double* values) const;
  void solveUpper(double* values) const;
  // L y = sides[r] for `count` right-hand sides at once, side r 0 before
  // index firsts[r]: the chains of divisions of the sides overlap.
  void solveLowerSides(double* const* sides, const std::size_t* firsts, std::size_t count) const;

 private:
  // The rows below the diagonal that column j holds.
  std::size_t below(std::size_t j) const { return n_ - 1 - j < width_ ? n_ - 1 - j : width_; }

  std::size_t n_ = 0, width_ = 0;
  std::vector<double> band_;
  std::vector<double> diagonal_;  // the matrix's diagonal, for the pivots' floor
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_BANDCHOLESKY_H
