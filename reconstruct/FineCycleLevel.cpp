#include "reconstruct/FineCycleLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

namespace {

struct InnerStencil {
  float own, sampleStep, axial, diagonal, twoStep;
};

// The residuals of a run of inner pixels: one vector loop, compiled for each
// instruction set the processor may offer.
[[gnu::always_inline]] inline void innerResidualsBody(const InnerStencil k, const uint8_t* states, const float* x,
                                                      const float* b, std::ptrdiff_t stride, int32_t count,
                                                      float* out) {
  const std::ptrdiff_t s = stride;
  for (int32_t i = 0; i < count; ++i) {
    const float own = k.own + k.sampleStep * static_cast<float>(states[i] & FineOperator::kSample);
    const float* p = x + i;
    const float product = own * p[0] + (k.axial * ((p[-s] + p[s]) + (p[-1] + p[1])) +
                                        k.diagonal * ((p[-s - 1] + p[-s + 1]) + (p[s - 1] + p[s + 1])) +
                                        k.twoStep * ((p[-2 * s] + p[2 * s]) + (p[-2] + p[2])));
    // An integer test, unlike a float one, leaves the loop free of branches.
    const auto free = static_cast<float>((states[i] & FineOperator::kFixed) ^ FineOperator::kFixed);
    out[i] = (0.5f * free) * (b[i] - product);
  }
}
FILAMORPH_VECTOR_KERNEL(void, innerResiduals,
                        (const InnerStencil k, const uint8_t* states, const float* x, const float* b,
                         std::ptrdiff_t stride, int32_t count, float* out),
                        (k, states, x, b, stride, count, out))

// The same along a run of an edge row, where every pixel has the molecule
// `k` (slots as in kStencil, k[0] the own coefficient without a sample).
[[gnu::always_inline]] inline void edgeRowResidualsBody(const float* k, const std::ptrdiff_t* steps, float sampleStep,
                                                        const uint8_t* states, const float* x, const float* b,
                                                        int32_t count, float* out) {
  for (int32_t i = 0; i < count; ++i) {
    const float own = k[0] + sampleStep * static_cast<float>(states[i] & FineOperator::kSample);
    float sum = own * x[i];
    for (int slot = 1; slot < kStencilSize; ++slot) sum += k[slot] * x[i + steps[slot]];
    const auto free = static_cast<float>((states[i] & FineOperator::kFixed) ^ FineOperator::kFixed);
    out[i] = (0.5f * free) * (b[i] - sum);
  }
}
FILAMORPH_VECTOR_KERNEL(void, edgeRowResiduals,
                        (const float* k, const std::ptrdiff_t* steps, float sampleStep, const uint8_t* states,
                         const float* x, const float* b, int32_t count, float* out),
                        (k, steps, sampleStep, states, x, b, count, out))

}  // namespace

FineCycleLevel::FineCycleLevel(const FineOperator& fine) : CycleLevel(fine.grid()), fine_(fine) {
  const auto& inner = fine.coefficientsAt(2, 2);
  own_[0] = static_cast<float>(inner[0]);
  own_[1] = static_cast<float>(inner[0] + FineOperator::kDataWeight);
  // Slots 9, 2 and 10 of the stencil: (0,+1), (-1,-1), (0,+2).
  axial_ = static_cast<float>(inner[9]);
  diagonal_ = static_cast<float>(inner[2]);
  twoStep_ = static_cast<float>(inner[10]);
  for (int slot = 0; slot < kStencilSize; ++slot)
    cellStep_[slot] = grid_.offset(kStencil[slot].row, kStencil[slot].col);
  // Every place along an axis of at least 4 pixels has a representative
  // index: the two nearest each edge and, where there is one, a middle one.
  for (int32_t row = 0; row < grid_.rows; ++row) {
    if (row >= 3 && row < grid_.rows - 2) continue;
    for (int32_t col = 0; col < grid_.cols; ++col) {
      if (col >= 3 && col < grid_.cols - 2) continue;
      const auto& k = fine.coefficientsAt(row, col);
      PlaceMolecule& molecule = byPlace_[static_cast<std::size_t>(axisPlace(row, grid_.rows))]
                                        [static_cast<std::size_t>(axisPlace(col, grid_.cols))];
      molecule.own[0] = static_cast<float>(k[0]);
      molecule.own[1] = static_cast<float>(k[0] + FineOperator::kDataWeight);
      for (int slot = 0; slot < kStencilSize; ++slot) molecule.slots[slot] = static_cast<float>(k[slot]);
    }
  }
  // Inner pixels have one of two diagonals, by their sample bit.
  const float innerInverse[2] = {1.0f / own_[0], 1.0f / own_[1]};
  for (int32_t row = 0; row < grid_.rows; ++row) {
    const bool innerRow = row >= 2 && row < grid_.rows - 2;
    const std::ptrdiff_t first = grid_.at(row, 0);
    const uint8_t* states = fine_.states() + first;
    float* inverse = inverseDiagonal_.data() + first;
    for (int32_t col = 0; col < grid_.cols; ++col) {
      if (innerRow && col >= 2 && col < grid_.cols - 2)
        inverse[col] = innerInverse[states[col] & FineOperator::kSample];
      else
        setInverseDiagonal(row, col);
    }
  }
  followFixedPixels();
}

void FineCycleLevel::setInverseDiagonal(int32_t row, int32_t col) {
  const std::ptrdiff_t cell = grid_.at(row, col);
  const uint8_t state = fine_.state(cell);
  float& inverse = inverseDiagonal_[static_cast<std::size_t>(cell)];
  if ((state & FineOperator::kFixed) != 0)
    inverse = 0.0f;
  else
    inverse = 1.0f / moleculeAt(row, col).own[state & FineOperator::kSample];
}

void FineCycleLevel::followFixedPixels() {
  // The fixed pixels are few: rows are scanned eight states at a time, and
  // only the pixels fixed or freed since the last call change.
  constexpr uint64_t kFixedInEveryByte = 0x0101010101010101ull * FineOperator::kFixed;
  std::vector<GridCell> fixed;
  for (int32_t row = 0; row < grid_.rows; ++row) {
    const uint8_t* states = fine_.states() + grid_.at(row, 0);
    int32_t col = 0;
    for (; col + 8 <= grid_.cols; col += 8) {
      uint64_t eight;
      std::memcpy(&eight, states + col, sizeof eight);
      if ((eight & kFixedInEveryByte) == 0) continue;
      for (int32_t k = col; k < col + 8; ++k)
        if ((states[k] & FineOperator::kFixed) != 0) fixed.push_back({row, k});
    }
    for (; col < grid_.cols; ++col)
      if ((states[col] & FineOperator::kFixed) != 0) fixed.push_back({row, col});
  }
  for (const GridCell& cell : fixedPixels_) setInverseDiagonal(cell.row, cell.col);
  for (const GridCell& cell : fixed) setInverseDiagonal(cell.row, cell.col);
  fixedPixels_ = std::move(fixed);
}

void FineCycleLevel::residualRow(const float* bRow, const float* xRow, float* out, int32_t row) const {
  const int32_t cols = grid_.cols;
  const std::ptrdiff_t first = grid_.at(row, 0);
  const uint8_t* states = fine_.states() + first;
  const float* inverse = inverseDiagonal_.data() + first;
  const auto edgeCell = [&](int32_t col) {
    if (inverse[col] == 0.0f) {
      out[col] = 0.0f;
      return;
    }
    const PlaceMolecule& k = moleculeAt(row, col);
    const float* x = xRow + col;
    float sum = k.own[states[col] & FineOperator::kSample] * x[0];
    for (int slot = 1; slot < kStencilSize; ++slot) sum += k.slots[slot] * x[cellStep_[slot]];
    out[col] = bRow[col] - sum;
  };
  edgeCell(0);
  edgeCell(1);
  if (row < 2 || row >= grid_.rows - 2) {
    edgeRowResiduals(moleculeAt(row, 2).slots, cellStep_.data(), own_[1] - own_[0], states + 2, xRow + 2, bRow + 2,
                     cols - 4, out + 2);
  } else {
    innerResiduals(InnerStencil{own_[0], own_[1] - own_[0], axial_, diagonal_, twoStep_}, states + 2, xRow + 2,
                   bRow + 2, grid_.stride(), cols - 4, out + 2);
  }
  edgeCell(cols - 2);
  edgeCell(cols - 1);
}

double FineCycleLevel::discBound(const SolverThreads&) const {
  // Molecules depend on the place against the edges alone: the cells within
  // three of a corner meet every kind.
  double bound = 0.0;
  for (int32_t row = 0; row < grid_.rows; ++row) {
    if (row >= 3 && row < grid_.rows - 3) continue;
    for (int32_t col = 0; col < grid_.cols; ++col) {
      if (col >= 3 && col < grid_.cols - 3) continue;
      const auto& k = fine_.coefficientsAt(row, col);
      double radius = 0.0;
      for (int slot = 1; slot < kStencilSize; ++slot) radius += std::fabs(k[slot]);
      // A sample's data term only raises the diagonal, so the bound of a
      // pixel without one covers it.
      bound = std::max(bound, 1.0 + radius / k[0]);
    }
  }
  return bound;
}

}  // namespace filamorph
