#ifndef FILAMORPH_RECONSTRUCT_FINECYCLELEVEL_H
#define FILAMORPH_RECONSTRUCT_FINECYCLELEVEL_H
// The image's own grid in the multigrid cycle: the fill-in system in single
// precision, computed from the sample mask as the double-precision one is.

#include <array>
#include <cstdint>
#include <vector>

#include "reconstruct/CycleLevel.h"
#include "reconstruct/FineOperator.h"

namespace filamorph {

// Follows the fixed pixels of the fine operator it was made from: call
// `followFixedPixels` after they change. Holds a reference to the operator.
class FineCycleLevel final : public CycleLevel {
 public:
  explicit FineCycleLevel(const FineOperator& fine);

  void followFixedPixels();
  bool hasFixedPixels() const { return !fixedPixels_.empty(); }
  // The fixed pixels, row by row.
  const std::vector<GridCell>& fixedPixels() const { return fixedPixels_; }

  void residualRow(const float* bRow, const float* xRow, float* out, int32_t row) const override;
  double discBound(const SolverThreads& threads) const override;

 private:
  // The molecule of a pixel by its places along both axes, in floats: its own
  // coefficient without and with a sample, then slots 1.. as in kStencil.
  struct PlaceMolecule {
    float own[2];
    float slots[kStencilSize];
  };
  const PlaceMolecule& moleculeAt(int32_t row, int32_t col) const {
    return byPlace_[static_cast<std::size_t>(axisPlace(row, grid_.rows))]
                   [static_cast<std::size_t>(axisPlace(col, grid_.cols))];
  }

  // From the cell's state: 0 when fixed.
  void setInverseDiagonal(int32_t row, int32_t col);

  const FineOperator& fine_;
  std::array<std::array<PlaceMolecule, kAxisPlaceCount>, kAxisPlaceCount> byPlace_{};
  std::vector<GridCell> fixedPixels_;
  float own_[2];  // an inner pixel's own coefficient, without and with a sample
  float axial_, diagonal_, twoStep_;
  std::array<std::ptrdiff_t, kStencilSize> cellStep_{};
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FINECYCLELEVEL_H
