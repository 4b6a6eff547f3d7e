#include "reconstruct/BandCholesky.h"

#include <cmath>

#include "reconstruct/VectorKernel.h"
#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

// Right-looking: each column, once final, is subtracted from the columns
// after it, so that every entry takes its subtractions in the order of the
// columns whatever the vector width. Rows before firstRow hold their factor
// already; the columns whose band reaches firstRow are replayed on the rows
// from firstRow on alone, which gives those rows the same subtractions in the
// same order as a factorisation from the start.
[[gnu::always_inline]] inline void factorColumnsBody(double* band, std::size_t n, std::size_t width,
                                                     const double* diagonal, std::size_t firstRow) {
  constexpr double kSmallestPivotShare = 1e-12;
  const std::size_t step = width + 1;
  for (std::size_t j = firstRow > width ? firstRow - width : 0; j < n; ++j) {
    double* column = band + j * step;
    const std::size_t rows = n - 1 - j < width ? n - 1 - j : width;
    // Entries of this column above firstRow, the pivot among them, are final.
    const std::size_t finalRows = j < firstRow ? firstRow - j : 0;
    if (finalRows == 0) {
      const double floor = kSmallestPivotShare * std::fabs(diagonal[j]) + 1e-300;
      column[0] = std::sqrt(column[0] > floor ? column[0] : floor);
    }
    for (std::size_t t = finalRows > 1 ? finalRows : 1; t <= rows; ++t) column[t] /= column[0];
    for (std::size_t k = 1; k <= rows; ++k) {
      double* target = band + (j + k) * step;
      const double share = column[k];
      const double* from = column + k;
      for (std::size_t t = finalRows > k ? finalRows - k : 0; t <= rows - k; ++t) target[t] -= from[t] * share;
    }
  }
}
FILAMORPH_VECTOR_KERNEL(void, factorColumns,
                        (double* band, std::size_t n, std::size_t width, const double* diagonal, std::size_t firstRow),
                        (band, n, width, diagonal, firstRow))

// Each side's own loop along the column runs as in solveLower; the sides
// take each column in turn, so that one side's division waits while the
// others' subtractions go on.
[[gnu::always_inline]] inline void forwardSubstituteSidesBody(const double* band, std::size_t n, std::size_t width,
                                                              double* const* sides, const std::size_t* firsts,
                                                              std::size_t count) {
  const std::size_t step = width + 1;
  std::size_t first = n;
  for (std::size_t r = 0; r < count; ++r) first = firsts[r] < first ? firsts[r] : first;
  for (std::size_t j = first; j < n; ++j) {
    const double* column = band + j * step;
    const std::size_t rows = n - 1 - j < width ? n - 1 - j : width;
    for (std::size_t r = 0; r < count; ++r) {
      if (j < firsts[r]) continue;
      double* after = sides[r] + j;
      after[0] /= column[0];
      const double value = after[0];
      for (std::size_t t = 1; t <= rows; ++t) after[t] -= column[t] * value;
    }
  }
}
FILAMORPH_VECTOR_KERNEL(void, forwardSubstituteSides,
                        (const double* band, std::size_t n, std::size_t width, double* const* sides,
                         const std::size_t* firsts, std::size_t count),
                        (band, n, width, sides, firsts, count))

}  // namespace

void BandCholesky::reset(std::size_t n, std::size_t width) {
  n_ = n;
  width_ = width;
  band_.assign(n * (width + 1), 0.0);
}

void BandCholesky::clearRowsFrom(std::size_t firstRow) {
  const std::size_t step = width_ + 1;
  for (std::size_t j = firstRow > width_ ? firstRow - width_ : 0; j < n_; ++j)
    for (std::size_t t = j < firstRow ? firstRow - j : 0; t <= width_; ++t) band_[j * step + t] = 0.0;
}

void BandCholesky::factor(std::size_t firstRow) {
  const std::size_t step = width_ + 1;
  diagonal_.resize(n_);
  for (std::size_t j = firstRow; j < n_; ++j) diagonal_[j] = band_[j * step];
  factorColumns(band_.data(), n_, width_, diagonal_.data(), firstRow);
}

void BandCholesky::solve(std::vector<double>& values) const {
  solveLower(values.data());
  solveUpper(values.data());
}

void BandCholesky::solveLower(double* values) const {
  const std::size_t step = width_ + 1;
  for (std::size_t j = 0; j < n_; ++j) {
    const double* column = &band_[j * step];
    values[j] /= column[0];
    const double value = values[j];
    double* after = values + j;
    for (std::size_t t = 1; t <= below(j); ++t) after[t] -= column[t] * value;
  }
}

void BandCholesky::solveLowerSides(double* const* sides, const std::size_t* firsts, std::size_t count) const {
  forwardSubstituteSides(band_.data(), n_, width_, sides, firsts, count);
}

void BandCholesky::solveUpper(double* values) const {
  const std::size_t step = width_ + 1;
  for (std::size_t j = n_; j-- > 0;) {
    const double* column = &band_[j * step];
    values[j] = (values[j] - dotRun(column + 1, values + j + 1, below(j))) / column[0];
  }
}

}  // namespace filamorph
