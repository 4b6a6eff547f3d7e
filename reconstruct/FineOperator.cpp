#include "reconstruct/FineOperator.h"

#include <utility>
#include <vector>

#include "reconstruct/VectorKernel.h"
#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

constexpr AxisPlace kPlaces[kAxisPlaceCount] = {AxisPlace::NearEdge, AxisPlace::NearSecond, AxisPlace::Inner,
                                                AxisPlace::FarSecond, AxisPlace::FarEdge};

}  // namespace

FineOperator::FineOperator(const PaddedGrid& grid, float plateWeight, std::vector<uint8_t> states,
                           std::vector<uint8_t> levels)
    : grid_(grid), states_(std::move(states)), levels_(std::move(levels)) {
  const double share = plateWeight;
  for (const AxisPlace rowPlace : kPlaces) {
    for (const AxisPlace colPlace : kPlaces) {
      const Molecule molecule = moleculeAt(rowPlace, colPlace);
      SlotCoefficients& coefficients = byPlace_[static_cast<std::size_t>(rowPlace)][static_cast<std::size_t>(colPlace)];
      for (int slot = 0; slot < kStencilSize; ++slot)
        if (molecule.present[slot]) coefficients[slot] = molecule.plateFactor[slot] * share + molecule.constant[slot];
    }
  }
  for (int slot = 0; slot < kStencilSize; ++slot)
    cellStep_[slot] = grid_.offset(kStencil[slot].row, kStencil[slot].col);
  const SlotCoefficients& inner =
      byPlace_[static_cast<std::size_t>(AxisPlace::Inner)][static_cast<std::size_t>(AxisPlace::Inner)];
  // Slots 0, 9, 2 and 10 of the stencil: the pixel, (0,+1), (-1,-1), (0,+2).
  innerOwn_ = inner[0];
  innerAxial_ = inner[9];
  innerDiagonal_ = inner[2];
  innerTwoStep_ = inner[10];
}

void FineOperator::setFixed(std::ptrdiff_t cell, bool fixed) {
  uint8_t& state = states_[static_cast<std::size_t>(cell)];
  state = fixed ? static_cast<uint8_t>(state | kFixed) : static_cast<uint8_t>(state & ~kFixed);
}

const FineOperator::SlotCoefficients& FineOperator::coefficientsAt(int32_t row, int32_t col) const {
  return byPlace_[static_cast<std::size_t>(axisPlace(row, grid_.rows))]
                 [static_cast<std::size_t>(axisPlace(col, grid_.cols))];
}

double FineOperator::diagonal(int32_t row, int32_t col) const {
  const bool sample = (state(grid_.at(row, col)) & kSample) != 0;
  return coefficientsAt(row, col)[0] + (sample ? kDataWeight : 0.0);
}

template <typename T>
double FineOperator::productOf(int32_t row, int32_t col, const T* x) const {
  const std::ptrdiff_t cell = grid_.at(row, col);
  // Slots the molecule lacks hold 0 and point at cells inside the padding.
  const SlotCoefficients& coefficients = coefficientsAt(row, col);
  double neighbours = 0.0;
  for (int slot = 1; slot < kStencilSize; ++slot)
    neighbours += coefficients[slot] * static_cast<double>(x[cell + cellStep_[slot]]);
  return diagonal(row, col) * static_cast<double>(x[cell]) + neighbours;
}

double FineOperator::product(int32_t row, int32_t col, const double* x) const {
  return productOf(row, col, x);
}

void FineOperator::energyStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const {
  for (auto& line : stencil)
    for (double& entry : line) entry = 0.0;
  const SlotCoefficients& coefficients = coefficientsAt(row, col);
  for (int slot = 0; slot < kStencilSize; ++slot)
    stencil[2 + kStencil[slot].row][2 + kStencil[slot].col] = coefficients[slot];
}

namespace {

struct InnerStencil {
  double own, axial, diagonal, twoStep;
};

// The products of a run of inner pixels: one vector loop, compiled for each
// instruction set the processor may offer. Every lane does a pixel's own
// arithmetic, in double precision whatever the precision of x, so the result
// does not depend on the vector width.
template <typename T>
[[gnu::always_inline]] inline void innerProductsOf(const InnerStencil k, const uint8_t* states, const T* x,
                                                   std::ptrdiff_t stride, int32_t count, double* out) {
  const std::ptrdiff_t s = stride;
  const auto at = [x](std::ptrdiff_t i) { return static_cast<double>(x[i]); };
  for (int32_t i = 0; i < count; ++i) {
    const double own = k.own + FineOperator::kDataWeight * static_cast<double>(states[i] & FineOperator::kSample);
    const double product =
        own * at(i) + (k.axial * ((at(i - s) + at(i + s)) + (at(i - 1) + at(i + 1))) +
                       k.diagonal * ((at(i - s - 1) + at(i - s + 1)) + (at(i + s - 1) + at(i + s + 1))) +
                       k.twoStep * ((at(i - 2 * s) + at(i + 2 * s)) + (at(i - 2) + at(i + 2))));
    // An integer test, unlike a float one, leaves the loop free of branches.
    const auto free = static_cast<double>((states[i] & FineOperator::kFixed) ^ FineOperator::kFixed);
    out[i] = (0.5 * free) * product;
  }
}
[[gnu::always_inline]] inline void innerProductsBody(const InnerStencil k, const uint8_t* states, const double* x,
                                                     std::ptrdiff_t stride, int32_t count, double* out) {
  innerProductsOf(k, states, x, stride, count, out);
}
FILAMORPH_VECTOR_KERNEL(void, innerProducts,
                        (const InnerStencil k, const uint8_t* states, const double* x, std::ptrdiff_t stride,
                         int32_t count, double* out),
                        (k, states, x, stride, count, out))
[[gnu::always_inline]] inline void innerProductsOfFloatsBody(const InnerStencil k, const uint8_t* states,
                                                             const float* x, std::ptrdiff_t stride, int32_t count,
                                                             double* out) {
  innerProductsOf(k, states, x, stride, count, out);
}
FILAMORPH_VECTOR_KERNEL(void, innerProductsOfFloats,
                        (const InnerStencil k, const uint8_t* states, const float* x, std::ptrdiff_t stride,
                         int32_t count, double* out),
                        (k, states, x, stride, count, out))

void innerProductsOfEither(const InnerStencil k, const uint8_t* states, const double* x, std::ptrdiff_t stride,
                           int32_t count, double* out) {
  innerProducts(k, states, x, stride, count, out);
}
void innerProductsOfEither(const InnerStencil k, const uint8_t* states, const float* x, std::ptrdiff_t stride,
                           int32_t count, double* out) {
  innerProductsOfFloats(k, states, x, stride, count, out);
}

}  // namespace

template <typename T>
void FineOperator::productRowOf(const T* x, double* out, int32_t row) const {
  const int32_t cols = grid_.cols;
  const std::ptrdiff_t first = grid_.at(row, 0);
  const auto edgeCell = [&](int32_t col) {
    const std::ptrdiff_t cell = first + col;
    out[col] = (states_[static_cast<std::size_t>(cell)] & kFixed) != 0 ? 0.0 : productOf(row, col, x);
  };
  const bool innerRow = row >= 2 && row < grid_.rows - 2;
  if (!innerRow) {
    for (int32_t col = 0; col < cols; ++col) edgeCell(col);
    return;
  }
  edgeCell(0);
  edgeCell(1);
  innerProductsOfEither(InnerStencil{innerOwn_, innerAxial_, innerDiagonal_, innerTwoStep_}, states_.data() + first + 2,
                        x + first + 2, grid_.stride(), cols - 4, out + 2);
  edgeCell(cols - 2);
  edgeCell(cols - 1);
}

void FineOperator::productRow(const double* x, double* out, int32_t row) const {
  productRowOf(x, out, row);
}

double FineOperator::multiply(const float* x, float* out, const SolverThreads& threads) const {
  return threads.sumRows(grid_.rows, grid_.cols, [&](int32_t first, int32_t end) {
    // One row of products in double precision per thread, kept between calls.
    thread_local std::vector<double> products;
    products.resize(static_cast<std::size_t>(grid_.cols));
    double sum = 0.0;
    for (int32_t row = first; row < end; ++row) {
      const std::ptrdiff_t start = grid_.at(row, 0);
      productRowOf(x, products.data(), row);
      sum += narrowDotRun(products.data(), x + start, out + start, static_cast<std::size_t>(grid_.cols));
    }
    return sum;
  });
}

void FineOperator::residual(const double* x, double* out, const SolverThreads& threads) const {
  threads.forRows(grid_.rows, grid_.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const std::ptrdiff_t first = grid_.at(row, 0);
      productRow(x, out + first, row);
      const uint8_t* states = states_.data() + first;
      const uint8_t* levels = levels_.data() + first;
      for (int32_t col = 0; col < grid_.cols; ++col) {
        const auto free = static_cast<double>((states[col] & kFixed) ^ kFixed);
        out[first + col] = (0.5 * free) * (kDataWeight * levels[col] - out[first + col]);
      }
    }
  });
}

}  // namespace filamorph
