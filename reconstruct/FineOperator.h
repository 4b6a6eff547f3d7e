#ifndef FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
#define FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
// The fill-in system of a whole image in symmetric form, computed on the fly
// from the sample mask: its products, residuals and Gauss-Seidel sweeps.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "reconstruct/Molecule.h"
#include "reconstruct/PaddedGrid.h"

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
// Vectors are padded grids of doubles (zero margins) of the image's size,
// which is at least 4 x 4.
class FineOperator {
 public:
  static constexpr uint8_t kSample = 1;
  static constexpr uint8_t kFixed = 2;
  // w: one over the smoothness weight 0.01 of a sample pixel, as a float.
  static constexpr double kDataWeight = 1.0 / static_cast<double>(0.01f);

  // `states` holds kSample and kFixed bits per cell of the padded grid.
  FineOperator(const PaddedGrid& grid, float plateWeight, std::vector<uint8_t> states);

  const PaddedGrid& grid() const { return grid_; }
  uint8_t state(std::ptrdiff_t cell) const { return states_[static_cast<std::size_t>(cell)]; }
  void setFixed(std::ptrdiff_t cell, bool fixed);

  // Row (row, col) of the whole system, fixed pixels included, times x.
  double product(int32_t row, int32_t col, const double* x) const;
  double diagonal(int32_t row, int32_t col) const;
  // The smoothness part A of the pixel's row as a 5 x 5 stencil centred on it.
  void energyStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const;

  void multiply(const double* x, double* out) const;
  void residual(const double* b, const double* x, double* out) const;
  // Gauss-Seidel sweeps in raster order and in its reverse: the one undoes
  // the order of the other, so that a forward-then-backward pair is symmetric.
  void forwardSweep(const double* b, double* x) const;
  void backwardSweep(const double* b, double* x) const;

 private:
  using SlotCoefficients = std::array<double, kStencilSize>;

  template <typename InnerVisit, typename EdgeVisit>
  void traverse(InnerVisit&& inner, EdgeVisit&& edge) const;
  template <bool Backward>
  void sweep(const double* b, double* x) const;

  double innerNeighbours(const double* x) const;
  double edgeNeighbours(const SlotCoefficients& coefficients, const double* x) const;
  const SlotCoefficients& coefficientsAt(int32_t row, int32_t col) const;

  PaddedGrid grid_;
  std::vector<uint8_t> states_;
  std::array<std::array<SlotCoefficients, kAxisPlaceCount>, kAxisPlaceCount> byPlace_{};
  std::array<std::ptrdiff_t, kStencilSize> cellStep_{};
  double innerOwn_, innerAxial_, innerDiagonal_, innerTwoStep_;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FINEOPERATOR_H
