#include "reconstruct/FineOperator.h"

#include <utility>

namespace filamorph {

namespace {

constexpr AxisPlace kPlaces[kAxisPlaceCount] = {AxisPlace::NearEdge, AxisPlace::NearSecond, AxisPlace::Inner,
                                                AxisPlace::FarSecond, AxisPlace::FarEdge};

}  // namespace

FineOperator::FineOperator(const PaddedGrid& grid, float plateWeight, std::vector<uint8_t> states)
    : grid_(grid), states_(std::move(states)) {
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

inline double FineOperator::innerNeighbours(const double* x) const {
  const std::ptrdiff_t s = grid_.stride();
  return innerAxial_ * ((x[-s] + x[s]) + (x[-1] + x[1])) +
         innerDiagonal_ * ((x[-s - 1] + x[-s + 1]) + (x[s - 1] + x[s + 1])) +
         innerTwoStep_ * ((x[-2 * s] + x[2 * s]) + (x[-2] + x[2]));
}

inline double FineOperator::edgeNeighbours(const SlotCoefficients& coefficients, const double* x) const {
  // Slots the molecule lacks hold 0 and point at cells inside the padding.
  double sum = 0.0;
  for (int slot = 1; slot < kStencilSize; ++slot) sum += coefficients[slot] * x[cellStep_[slot]];
  return sum;
}

double FineOperator::diagonal(int32_t row, int32_t col) const {
  const bool sample = (state(grid_.at(row, col)) & kSample) != 0;
  return coefficientsAt(row, col)[0] + (sample ? kDataWeight : 0.0);
}

double FineOperator::product(int32_t row, int32_t col, const double* x) const {
  const std::ptrdiff_t cell = grid_.at(row, col);
  return diagonal(row, col) * x[cell] + edgeNeighbours(coefficientsAt(row, col), x + cell);
}

void FineOperator::energyStencil(int32_t row, int32_t col, double (&stencil)[5][5]) const {
  for (auto& line : stencil)
    for (double& entry : line) entry = 0.0;
  const SlotCoefficients& coefficients = coefficientsAt(row, col);
  for (int slot = 0; slot < kStencilSize; ++slot)
    stencil[2 + kStencil[slot].row][2 + kStencil[slot].col] = coefficients[slot];
}

// Visits every pixel in raster order: pixels whose molecule is the inner one
// through `inner(cell)`, the others through `edge(cell, coefficients)`.
template <typename InnerVisit, typename EdgeVisit>
void FineOperator::traverse(InnerVisit&& inner, EdgeVisit&& edge) const {
  const int32_t rows = grid_.rows;
  const int32_t cols = grid_.cols;
  for (int32_t row = 0; row < rows; ++row) {
    const bool innerRow = row >= 2 && row < rows - 2;
    const std::ptrdiff_t rowStart = grid_.at(row, 0);
    for (int32_t col = 0; col < cols; ++col) {
      if (innerRow && col >= 2 && col < cols - 2)
        inner(rowStart + col);
      else
        edge(rowStart + col, coefficientsAt(row, col));
    }
  }
}

void FineOperator::multiply(const double* x, double* out) const {
  const auto result = [&](std::ptrdiff_t cell, double own, double neighbours) {
    const uint8_t s = states_[static_cast<std::size_t>(cell)];
    const double diagonalTerm = own + ((s & kSample) != 0 ? kDataWeight : 0.0);
    out[cell] = (s & kFixed) != 0 ? 0.0 : diagonalTerm * x[cell] + neighbours;
  };
  traverse([&](std::ptrdiff_t cell) { result(cell, innerOwn_, innerNeighbours(x + cell)); },
           [&](std::ptrdiff_t cell, const SlotCoefficients& k) { result(cell, k[0], edgeNeighbours(k, x + cell)); });
}

void FineOperator::residual(const double* b, const double* x, double* out) const {
  const auto result = [&](std::ptrdiff_t cell, double own, double neighbours) {
    const uint8_t s = states_[static_cast<std::size_t>(cell)];
    const double diagonalTerm = own + ((s & kSample) != 0 ? kDataWeight : 0.0);
    out[cell] = (s & kFixed) != 0 ? 0.0 : b[cell] - (diagonalTerm * x[cell] + neighbours);
  };
  traverse([&](std::ptrdiff_t cell) { result(cell, innerOwn_, innerNeighbours(x + cell)); },
           [&](std::ptrdiff_t cell, const SlotCoefficients& k) { result(cell, k[0], edgeNeighbours(k, x + cell)); });
}

// The inner run of a row keeps the two neighbours updated just before the
// pixel (left in raster order, right in reverse) out of the main sum and adds
// them last, so that the chain from one pixel to the next is short.
template <bool Backward>
void FineOperator::sweep(const double* b, double* x) const {
  const double inverseDiagonal[2] = {1.0 / innerOwn_, 1.0 / (innerOwn_ + kDataWeight)};
  const std::ptrdiff_t s = grid_.stride();
  constexpr int kNear = Backward ? 1 : -1;
  const auto edge = [&](int32_t row, int32_t col) {
    const std::ptrdiff_t cell = grid_.at(row, col);
    const uint8_t state = states_[static_cast<std::size_t>(cell)];
    if ((state & kFixed) != 0) return;
    const SlotCoefficients& k = coefficientsAt(row, col);
    x[cell] = (b[cell] - edgeNeighbours(k, x + cell)) / (k[0] + ((state & kSample) != 0 ? kDataWeight : 0.0));
  };
  const int32_t rows = grid_.rows;
  const int32_t cols = grid_.cols;
  for (int32_t step = 0; step < rows; ++step) {
    const int32_t row = Backward ? rows - 1 - step : step;
    if (row < 2 || row >= rows - 2) {
      for (int32_t colStep = 0; colStep < cols; ++colStep) edge(row, Backward ? cols - 1 - colStep : colStep);
      continue;
    }
    const int32_t first = Backward ? cols - 1 : 0;
    edge(row, first);
    edge(row, first - kNear);
    const std::ptrdiff_t rowStart = grid_.at(row, 0);
    for (int32_t colStep = 2; colStep < cols - 2; ++colStep) {
      const std::ptrdiff_t cell = rowStart + (Backward ? cols - 1 - colStep : colStep);
      const uint8_t state = states_[static_cast<std::size_t>(cell)];
      if ((state & kFixed) != 0) continue;
      const double* p = x + cell;
      const double far = b[cell] - (innerAxial_ * ((p[-s] + p[s]) + p[-kNear]) +
                                    innerDiagonal_ * ((p[-s - 1] + p[-s + 1]) + (p[s - 1] + p[s + 1])) +
                                    innerTwoStep_ * ((p[-2 * s] + p[2 * s]) + p[-2 * kNear]));
      x[cell] = (far - (innerAxial_ * p[kNear] + innerTwoStep_ * p[2 * kNear])) * inverseDiagonal[state & kSample];
    }
    edge(row, first + (cols - 2) * -kNear);
    edge(row, first + (cols - 1) * -kNear);
  }
}

void FineOperator::forwardSweep(const double* b, double* x) const {
  sweep<false>(b, x);
}
void FineOperator::backwardSweep(const double* b, double* x) const {
  sweep<true>(b, x);
}

}  // namespace filamorph
