#include "reconstruct/GalerkinCoarsening.h"

#include <array>

namespace filamorph {

namespace {

using HalfStencil = std::array<double, kHalfStencilSize>;

// halfSlot for offsets -2..2 in each direction.
constexpr std::array<std::array<int, 5>, 5> kSlotOf = [] {
  std::array<std::array<int, 5>, 5> table{};
  for (int r = -2; r <= 2; ++r)
    for (int c = -2; c <= 2; ++c)
      table[static_cast<std::size_t>(r + 2)][static_cast<std::size_t>(c + 2)] = halfSlot(r, c);
  return table;
}();

int slotOf(int32_t rowStep, int32_t colStep) {
  return kSlotOf[static_cast<std::size_t>(rowStep + 2)][static_cast<std::size_t>(colStep + 2)];
}

// Adds value x P(k, I) x P(l, J) to the coarse entry (I, J) for every pair of
// parents I of fine cell k and J of fine cell l, keeping the entries that lie
// in I's half of the stencil.
template <typename Add>
void spreadEntry(const AxisTransfer& rows, const AxisTransfer& cols, int32_t kRow, int32_t kCol, int32_t lRow,
                 int32_t lCol, double value, Add&& add) {
  for (const auto& kRowLink : rows.parents[static_cast<std::size_t>(kRow)]) {
    if (kRowLink.weight == 0.0) continue;
    for (const auto& kColLink : cols.parents[static_cast<std::size_t>(kCol)]) {
      if (kColLink.weight == 0.0) continue;
      const double kWeight = value * kRowLink.weight * kColLink.weight;
      for (const auto& lRowLink : rows.parents[static_cast<std::size_t>(lRow)]) {
        if (lRowLink.weight == 0.0) continue;
        for (const auto& lColLink : cols.parents[static_cast<std::size_t>(lCol)]) {
          if (lColLink.weight == 0.0) continue;
          const int slot = slotOf(lRowLink.index - kRowLink.index, lColLink.index - kColLink.index);
          if (slot >= 0) add(kRowLink.index, kColLink.index, slot, kWeight * lRowLink.weight * lColLink.weight);
        }
      }
    }
  }
}

// The coarse half stencil at (row, col): the sum over the fine cells k that
// the coarse cell's interpolation reaches, and the cells l of their stencils.
template <typename FineStencil>
HalfStencil gatherStencil(FineStencil&& fineStencil, const AxisTransfer& rows, const AxisTransfer& cols, int32_t row,
                          int32_t col) {
  HalfStencil half{};
  const auto& rowKids = rows.children[static_cast<std::size_t>(row)];
  const auto& colKids = cols.children[static_cast<std::size_t>(col)];
  for (int rk = 0; rk < rows.childCount[static_cast<std::size_t>(row)]; ++rk) {
    for (int ck = 0; ck < cols.childCount[static_cast<std::size_t>(col)]; ++ck) {
      const int32_t kRow = rowKids[static_cast<std::size_t>(rk)].index;
      const int32_t kCol = colKids[static_cast<std::size_t>(ck)].index;
      const double kWeight =
          rowKids[static_cast<std::size_t>(rk)].weight * colKids[static_cast<std::size_t>(ck)].weight;
      double stencil[5][5];
      fineStencil(kRow, kCol, stencil);
      for (int r = 0; r < 5; ++r) {
        const int32_t lRow = kRow + r - 2;
        if (lRow < 0 || lRow >= rows.fineCount) continue;
        for (int c = 0; c < 5; ++c) {
          const int32_t lCol = kCol + c - 2;
          if (stencil[r][c] == 0.0 || lCol < 0 || lCol >= cols.fineCount) continue;
          for (const auto& lRowLink : rows.parents[static_cast<std::size_t>(lRow)]) {
            if (lRowLink.weight == 0.0) continue;
            for (const auto& lColLink : cols.parents[static_cast<std::size_t>(lCol)]) {
              if (lColLink.weight == 0.0) continue;
              const int slot = slotOf(lRowLink.index - row, lColLink.index - col);
              if (slot >= 0)
                half[static_cast<std::size_t>(slot)] += kWeight * stencil[r][c] * lRowLink.weight * lColLink.weight;
            }
          }
        }
      }
    }
  }
  return half;
}

void store(const HalfStencil& half, StencilLevel& level, int32_t row, int32_t col) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    level.entry(row, col, slot) = static_cast<float>(half[static_cast<std::size_t>(slot)]);
}

}  // namespace

void coarsenImageOperator(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                          StencilLevel& coarse) {
  const auto energyStencil = [&](int32_t row, int32_t col, double(&stencil)[5][5]) {
    fine.energyStencil(row, col, stencil);
  };
  const bool hasInterior = rows.interiorFirst <= rows.interiorLast && cols.interiorFirst <= cols.interiorLast;
  HalfStencil interior{};
  if (hasInterior) interior = gatherStencil(energyStencil, rows, cols, rows.interiorFirst, cols.interiorFirst);
  for (int32_t row = 0; row < rows.coarseCount; ++row) {
    const bool interiorRow = hasInterior && row >= rows.interiorFirst && row <= rows.interiorLast;
    for (int32_t col = 0; col < cols.coarseCount; ++col) {
      const bool interiorCell = interiorRow && col >= cols.interiorFirst && col <= cols.interiorLast;
      store(interiorCell ? interior : gatherStencil(energyStencil, rows, cols, row, col), coarse, row, col);
    }
  }

  const auto add = [&](int32_t row, int32_t col, int slot, double value) {
    float& entry = coarse.entry(row, col, slot);
    entry = static_cast<float>(static_cast<double>(entry) + value);
  };
  const PaddedGrid& grid = fine.grid();
  for (int32_t row = 0; row < grid.rows; ++row)
    for (int32_t col = 0; col < grid.cols; ++col)
      if ((fine.state(grid.at(row, col)) & FineOperator::kSample) != 0)
        spreadEntry(rows, cols, row, col, row, col, FineOperator::kDataWeight, add);

  coarse.finish();
}

void coarsenLevel(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols, StencilLevel& coarse,
                  const SolverThreads& threads) {
  const auto stencilOf = [&](int32_t row, int32_t col, double(&stencil)[5][5]) { fine.fullStencil(row, col, stencil); };
  // Each coarse cell gathers its own stencil: the rows can be shared out.
  threads.forRows(rows.coarseCount, cols.coarseCount, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row)
      for (int32_t col = 0; col < cols.coarseCount; ++col)
        store(gatherStencil(stencilOf, rows, cols, row, col), coarse, row, col);
  });
  coarse.finish();
}

}  // namespace filamorph
