#ifndef FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
#define FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
// The fill-in system of a whole image in symmetric form, computed on the fly
// from the sample mask: its products and residuals.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/Molecule.h"
#include "reconstruct/PaddedGrid.h"
#include "reconstruct/SolverThreads.h"

namespace filamorph {

// A pixel's equation m (u - d) + lambda Sum a u = 0, divided by its lambda,
// gives the symmetric system K u = w m d with K = A + w diag(m): A is one half
// of the Hessian of the smoothness energy (the molecules without lambda) and
// w = 1 / lambda of a sample pixel. The smoothness weight of the other pixels
// drops out.
//
// Pixels can be fixed (held at a bound by the caller). K then stands for the
// system of the free pixels alone: every vector handed to multiply, residual
// and the sweeps must hold 0 at fixed pixels, and every result does too.
// Vectors are padded grids (zero margins) of the image's size,
// which is at least 4 x 4.
class FineOperator {
 public:
  static constexpr uint8_t kSample = 1;
  static constexpr uint8_t kFixed = 2;
  // w: one over the smoothness weight 0.01 of a sample pixel, as a float.
  static constexpr double kDataWeight = 1.0 / static_cast<double>(0.01f);

  // `states` holds kSample and kFixed bits per cell of the padded grid,
  // `levels` the level of each sample pixel and 0 elsewhere.
  FineOperator(const PaddedGrid& grid, float plateWeight, std::vector<uint8_t> states, std::vector<uint8_t> levels);

  const PaddedGrid& grid() const { return grid_; }
  uint8_t state(std::ptrdiff_t cell) const { return states_[static_cast<std::size_t>(cell)]; }
  const uint8_t* states() const { return states_.data(); }
  void setFixed(std::ptrdiff_t cell, bool fixed);

  // Row (row, col) of the whole system, fixed pixels included, times x.
  double product(int32_t row, int32_t col, const double* x) const;
  double diagonal(int32_t row, int32_t col) const;
  // The smoothness part A of the pixel's row as a 5 x 5 stencil centred on it.
  void energyStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const;

  // Row `row` of K x into out[0 .. cols).
  void productRow(const double* x, double* out, int32_t row) const;
  // out = K x, worked out in double precision and stored in single; returns
  // x . out.
  double multiply(const float* x, float* out, const SolverThreads& threads) const;
  // The right-hand side w m d at a cell.
  double dataTerm(std::ptrdiff_t cell) const { return kDataWeight * levels_[static_cast<std::size_t>(cell)]; }
  // w m d - K x.
  void residual(const double* x, double* out, const SolverThreads& threads) const;

  using SlotCoefficients = std::array<double, kStencilSize>;
  // The smoothness part of the pixel's molecule, slot by slot as in kStencil;
  // slots the molecule lacks hold 0.
  const SlotCoefficients& coefficientsAt(int32_t row, int32_t col) const;

 private:
  // The product of the pixel's row with x, `at` pointing at the pixel's own
  // value in rows laid out as the padded grid.
  double productAt(int32_t row, int32_t col, const double* at) const;
  // The row of products, `rowStart` pointing at the row's first pixel.
  void productRowAt(const double* rowStart, double* out, int32_t row) const;

  PaddedGrid grid_;
  std::vector<uint8_t> states_;
  std::vector<uint8_t> levels_;
  std::array<std::array<SlotCoefficients, kAxisPlaceCount>, kAxisPlaceCount> byPlace_{};
  std::array<std::ptrdiff_t, kStencilSize> cellStep_{};
  double innerOwn_, innerAxial_, innerDiagonal_, innerTwoStep_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
