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

double FineOperator::productAt(int32_t row, int32_t col, const double* at) const {
  // Slots the molecule lacks hold 0 and point at cells inside the padding.
  const SlotCoefficients& coefficients = coefficientsAt(row, col);
  double neighbours = 0.0;
  for (int slot = 1; slot < kStencilSize; ++slot) neighbours += coefficients[slot] * at[cellStep_[slot]];
  return diagonal(row, col) * at[0] + neighbours;
}

double FineOperator::product(int32_t row, int32_t col, const double* x) const {
  return productAt(row, col, x + grid_.at(row, col));
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
// arithmetic, so the result does not depend on the vector width.
[[gnu::always_inline]] inline void innerProductsBody(const InnerStencil k, const uint8_t* states, const double* x,
                                                     std::ptrdiff_t stride, int32_t count, double* out) {
  const std::ptrdiff_t s = stride;
  for (int32_t i = 0; i < count; ++i) {
    const double own = k.own + FineOperator::kDataWeight * static_cast<double>(states[i] & FineOperator::kSample);
    const double* p = x + i;
    const double product = own * p[0] + (k.axial * ((p[-s] + p[s]) + (p[-1] + p[1])) +
                                         k.diagonal * ((p[-s - 1] + p[-s + 1]) + (p[s - 1] + p[s + 1])) +
                                         k.twoStep * ((p[-2 * s] + p[2 * s]) + (p[-2] + p[2])));
    // An integer test, unlike a float one, leaves the loop free of branches.
    const auto free = static_cast<double>((states[i] & FineOperator::kFixed) ^ FineOperator::kFixed);
    out[i] = (0.5 * free) * product;
  }
}
FILAMORPH_VECTOR_KERNEL(void, innerProducts,
                        (const InnerStencil k, const uint8_t* states, const double* x, std::ptrdiff_t stride,
                         int32_t count, double* out),
                        (k, states, x, stride, count, out))

}  // namespace

void FineOperator::productRowAt(const double* rowStart, double* out, int32_t row) const {
  const int32_t cols = grid_.cols;
  const uint8_t* states = states_.data() + grid_.at(row, 0);
  const auto edgeCell = [&](int32_t col) {
    out[col] = (states[col] & kFixed) != 0 ? 0.0 : productAt(row, col, rowStart + col);
  };
  const bool innerRow = row >= 2 && row < grid_.rows - 2;
  if (!innerRow) {
    for (int32_t col = 0; col < cols; ++col) edgeCell(col);
    return;
  }
  edgeCell(0);
  edgeCell(1);
  innerProducts(InnerStencil{innerOwn_, innerAxial_, innerDiagonal_, innerTwoStep_}, states + 2, rowStart + 2,
                grid_.stride(), cols - 4, out + 2);
  edgeCell(cols - 2);
  edgeCell(cols - 1);
}

void FineOperator::productRow(const double* x, double* out, int32_t row) const {
  productRowAt(x + grid_.at(row, 0), out, row);
}

double FineOperator::multiply(const float* x, float* out, const SolverThreads& threads) const {
  const std::ptrdiff_t stride = grid_.stride();
  return threads.sumRows(grid_.rows, grid_.cols, [&](int32_t first, int32_t end) {
    // The padded rows the block reads, widened to double precision once each
    // rather than once per stencil slot, and one row of products; both per
    // thread, kept between calls.
    thread_local std::vector<double> widened;
    thread_local std::vector<double> products;
    const int32_t firstRead = first - PaddedGrid::kMargin;
    const auto readCount = static_cast<std::size_t>(end - firstRead + PaddedGrid::kMargin) * stride;
    widened.resize(readCount);
    products.resize(static_cast<std::size_t>(grid_.cols));
    widenRun(x + grid_.at(firstRead, -PaddedGrid::kMargin), readCount, widened.data());
    double sum = 0.0;
    for (int32_t row = first; row < end; ++row) {
      productRowAt(widened.data() + (row - firstRead) * stride + PaddedGrid::kMargin, products.data(), row);
      const std::ptrdiff_t start = grid_.at(row, 0);
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
