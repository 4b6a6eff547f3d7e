#include "reconstruct/GalerkinCoarsening.h"

#include <algorithm>
#include <array>
#include <map>
#include <tuple>
#include <vector>

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

// A coarse cell gathers the terms of nine fine stencils: about the work of a
// stencil pass over this many cells, which decides whether a level's rows
// are worth sharing between the threads.
constexpr int32_t kWorkPerCoarseCell = 16;

// Every fine cell takes part in the transfer.
constexpr auto kEveryCell = [](int32_t, int32_t) { return true; };

// Adds the data term's share to the coarse half stencil at (row, col): the
// term is diagonal, so entry (I, J) gains w P(k, I) P(k, J) for each sample
// pixel k among I's children that takes part, over the parents J of k in I's half.
template <typename TakesPart>
void addDataTerm(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols, int32_t row, int32_t col,
                 TakesPart&& takesPart, HalfStencil& half) {
  const PaddedGrid& grid = fine.grid();
  const auto& rowKids = rows.children[static_cast<std::size_t>(row)];
  const auto& colKids = cols.children[static_cast<std::size_t>(col)];
  for (int rk = 0; rk < rows.childCount[static_cast<std::size_t>(row)]; ++rk) {
    const int32_t kRow = rowKids[static_cast<std::size_t>(rk)].index;
    for (int ck = 0; ck < cols.childCount[static_cast<std::size_t>(col)]; ++ck) {
      const int32_t kCol = colKids[static_cast<std::size_t>(ck)].index;
      if ((fine.state(grid.at(kRow, kCol)) & FineOperator::kSample) == 0 || !takesPart(kRow, kCol)) continue;
      const double kWeight = FineOperator::kDataWeight * rowKids[static_cast<std::size_t>(rk)].weight *
                             colKids[static_cast<std::size_t>(ck)].weight;
      for (const auto& rowLink : rows.parents[static_cast<std::size_t>(kRow)]) {
        if (rowLink.weight == 0.0) continue;
        for (const auto& colLink : cols.parents[static_cast<std::size_t>(kCol)]) {
          if (colLink.weight == 0.0) continue;
          const int slot = slotOf(rowLink.index - row, colLink.index - col);
          if (slot >= 0) half[static_cast<std::size_t>(slot)] += kWeight * rowLink.weight * colLink.weight;
        }
      }
    }
  }
}

// Along one axis, where the transfer is regular: the children of a coarse
// index as offsets from its base fine index (2 I when the axis is halved, I
// otherwise), and the parents of a fine offset as offsets from the coarse one.
struct RegularAxis {
  std::vector<std::pair<int, double>> children;
  bool halved;

  explicit RegularAxis(bool coarsened) : halved(coarsened) {
    if (halved)
      children = {{-1, 0.5}, {0, 1.0}, {1, 0.5}};
    else
      children = {{0, 1.0}};
  }
  std::vector<std::pair<int, double>> parents(int fineOffset) const {
    if (!halved) return {{fineOffset, 1.0}};
    // Even numerators: the divisions are exact for negative offsets too.
    if (fineOffset % 2 == 0) return {{fineOffset / 2, 1.0}};
    return {{(fineOffset - 1) / 2, 0.5}, {(fineOffset + 1) / 2, 0.5}};
  }
};

// One term of the data term's share in a coarse stencil away from the edges,
// where every transfer is regular: a sample at the fine cell (2 row + rowStep,
// 2 col + colStep) adds w x weight to slot `slot`.
struct RegularDataTerm {
  int rowStep;
  int colStep;
  int slot;
  double weight;
};

// The terms in the order in which addDataTerm adds them: the children row by
// row, each over its row links, then its column links.
std::vector<RegularDataTerm> regularDataTerms() {
  const RegularAxis halved(true);
  std::vector<RegularDataTerm> terms;
  for (const auto& [childRow, rowWeight] : halved.children) {
    for (const auto& [childCol, colWeight] : halved.children) {
      for (const auto& [parentRow, parentRowWeight] : halved.parents(childRow)) {
        for (const auto& [parentCol, parentColWeight] : halved.parents(childCol)) {
          const int slot = halfSlot(parentRow, parentCol);
          if (slot >= 0)
            terms.push_back({childRow, childCol, slot, rowWeight * colWeight * parentRowWeight * parentColWeight});
        }
      }
    }
  }
  return terms;
}

// addDataTerm for a cell whose transfers are regular along both halved axes:
// the same additions of the same exact products (powers of two times w) in
// the same order, without walking the transfers' links.
void addRegularDataTerm(const std::vector<RegularDataTerm>& terms, const FineOperator& fine, int32_t row, int32_t col,
                        HalfStencil& half) {
  const PaddedGrid& grid = fine.grid();
  const uint8_t* centre = fine.states() + grid.at(2 * row, 2 * col);
  const std::ptrdiff_t stride = grid.stride();
  for (const RegularDataTerm& term : terms) {
    const bool sample = (centre[term.rowStep * stride + term.colStep] & FineOperator::kSample) != 0;
    double& entry = half[static_cast<std::size_t>(term.slot)];
    entry = sample ? entry + FineOperator::kDataWeight * term.weight : entry;
  }
}

// The coarse half stencil at (row, col): the sum over the fine cells k that
// the coarse cell's interpolation reaches, and the cells l of their stencils,
// both among the cells that take part. Each row of a fine stencil is first
// gathered onto the coarse columns, then spread onto the coarse rows.
template <typename FineStencil, typename TakesPart>
HalfStencil gatherStencil(FineStencil&& fineStencil, const AxisTransfer& rows, const AxisTransfer& cols, int32_t row,
                          int32_t col, TakesPart&& takesPart) {
  // Every coarse offset from (row, col), the half kept at the end.
  double full[5][5] = {};
  const auto& rowKids = rows.children[static_cast<std::size_t>(row)];
  const auto& colKids = cols.children[static_cast<std::size_t>(col)];
  for (int rk = 0; rk < rows.childCount[static_cast<std::size_t>(row)]; ++rk) {
    for (int ck = 0; ck < cols.childCount[static_cast<std::size_t>(col)]; ++ck) {
      const int32_t kRow = rowKids[static_cast<std::size_t>(rk)].index;
      const int32_t kCol = colKids[static_cast<std::size_t>(ck)].index;
      const double kWeight =
          rowKids[static_cast<std::size_t>(rk)].weight * colKids[static_cast<std::size_t>(ck)].weight;
      if (!takesPart(kRow, kCol)) continue;
      double stencil[5][5];
      fineStencil(kRow, kCol, stencil);
      for (int r = 0; r < 5; ++r) {
        const int32_t lRow = kRow + r - 2;
        if (lRow < 0 || lRow >= rows.fineCount) continue;
        // The row's entries on the coarse columns col - 2 .. col + 2.
        double onColumns[5] = {};
        bool any = false;
        for (int c = 0; c < 5; ++c) {
          const int32_t lCol = kCol + c - 2;
          if (stencil[r][c] == 0.0 || lCol < 0 || lCol >= cols.fineCount || !takesPart(lRow, lCol)) continue;
          for (const auto& link : cols.parents[static_cast<std::size_t>(lCol)])
            onColumns[link.index - col + 2] += stencil[r][c] * link.weight;
          any = true;
        }
        if (!any) continue;
        for (const auto& link : rows.parents[static_cast<std::size_t>(lRow)]) {
          if (link.weight == 0.0) continue;
          const double weight = kWeight * link.weight;
          double* target = full[link.index - row + 2];
          for (int c = 0; c < 5; ++c) target[c] += weight * onColumns[c];
        }
      }
    }
  }
  HalfStencil half{};
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    half[static_cast<std::size_t>(slot)] = full[2 + kHalfOffsets[slot].row][2 + kHalfOffsets[slot].col];
  return half;
}

void store(const HalfStencil& half, StencilLevel& level, int32_t row, int32_t col) {
  for (int slot = 0; slot < kHalfStencilSize; ++slot)
    level.entry(row, col, slot) = static_cast<float>(half[static_cast<std::size_t>(slot)]);
}

}  // namespace

void coarsenImageOperator(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                          StencilLevel& coarse, const SolverThreads& threads) {
  const auto energyStencil = [&](int32_t row, int32_t col, double(&stencil)[5][5]) {
    fine.energyStencil(row, col, stencil);
  };
  // The image's molecules depend on their places against the edges alone, so
  // the smoothness term's coarse stencil does too: every interior index of an
  // axis gives the same, and each index near the edges its own. The stencils
  // are gathered once per pair of such classes.
  const auto classesOf = [](const AxisTransfer& axis, std::vector<int32_t>& classOf) {
    std::vector<int32_t> representatives;
    int32_t interiorClass = -1;
    classOf.resize(static_cast<std::size_t>(axis.coarseCount));
    for (int32_t index = 0; index < axis.coarseCount; ++index) {
      const bool interior = index >= axis.interiorFirst && index <= axis.interiorLast;
      if (interior && interiorClass >= 0) {
        classOf[static_cast<std::size_t>(index)] = interiorClass;
        continue;
      }
      representatives.push_back(index);
      classOf[static_cast<std::size_t>(index)] = static_cast<int32_t>(representatives.size()) - 1;
      if (interior) interiorClass = classOf[static_cast<std::size_t>(index)];
    }
    return representatives;
  };
  std::vector<int32_t> rowClass, colClass;
  const std::vector<int32_t> rowRepresentatives = classesOf(rows, rowClass);
  const std::vector<int32_t> colRepresentatives = classesOf(cols, colClass);
  std::vector<HalfStencil> smoothness(rowRepresentatives.size() * colRepresentatives.size());
  for (std::size_t r = 0; r < rowRepresentatives.size(); ++r)
    for (std::size_t c = 0; c < colRepresentatives.size(); ++c)
      smoothness[r * colRepresentatives.size() + c] =
          gatherStencil(energyStencil, rows, cols, rowRepresentatives[r], colRepresentatives[c], kEveryCell);
  // Each coarse cell adds its own share of the data term: the rows can be
  // shared out.
  const bool bothHalved = rows.coarsened && cols.coarsened;
  const std::vector<RegularDataTerm> dataTerms = bothHalved ? regularDataTerms() : std::vector<RegularDataTerm>{};
  threads.forRows(rows.coarseCount, cols.coarseCount * kWorkPerCoarseCell, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const std::size_t first =
          static_cast<std::size_t>(rowClass[static_cast<std::size_t>(row)]) * colRepresentatives.size();
      const bool regularRow = bothHalved && row >= rows.interiorFirst && row <= rows.interiorLast;
      for (int32_t col = 0; col < cols.coarseCount; ++col) {
        HalfStencil half = smoothness[first + static_cast<std::size_t>(colClass[static_cast<std::size_t>(col)])];
        if (regularRow && col >= cols.interiorFirst && col <= cols.interiorLast)
          addRegularDataTerm(dataTerms, fine, row, col, half);
        else
          addDataTerm(fine, rows, cols, row, col, kEveryCell, half);
        store(half, coarse, row, col);
      }
    }
  });
  coarse.finish(&threads);
}

namespace {

// One term of a coarse stencil away from the edges: weight x the fine entry in
// plane `plane` at the cell (rowOffset, colOffset) from the base fine cell,
// added to the coarse slot `slot`.
struct CoarseningTerm {
  int plane;
  int rowOffset;
  int colOffset;
  int slot;
  double weight;
};

std::vector<CoarseningTerm> regularTerms(const RegularAxis& rows, const RegularAxis& cols) {
  std::map<std::tuple<int, int, int, int>, double> sums;
  for (const auto& [childRow, rowWeight] : rows.children) {
    for (const auto& [childCol, colWeight] : cols.children) {
      for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc) {
          // The entry A(k, k + (dr, dc)) is held by k, or by its neighbour.
          const int ownSlot = halfSlot(dr, dc);
          const int plane = ownSlot >= 0 ? ownSlot : halfSlot(-dr, -dc);
          const int sourceRow = ownSlot >= 0 ? childRow : childRow + dr;
          const int sourceCol = ownSlot >= 0 ? childCol : childCol + dc;
          for (const auto& [parentRow, parentRowWeight] : rows.parents(childRow + dr)) {
            for (const auto& [parentCol, parentColWeight] : cols.parents(childCol + dc)) {
              const int slot = halfSlot(parentRow, parentCol);
              if (slot < 0) continue;
              sums[{plane, sourceRow, sourceCol, slot}] += rowWeight * colWeight * parentRowWeight * parentColWeight;
            }
          }
        }
      }
    }
  }
  std::vector<CoarseningTerm> terms;
  for (const auto& [key, weight] : sums)
    terms.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key), std::get<3>(key), weight});
  return terms;
}

// sums[col] += weight x source[step x col] over a run of coarse cells.
template <int Step>
void addTerm(double weight, const float* source, int32_t count, double* sums) {
  for (int32_t col = 0; col < count; ++col) sums[col] += weight * static_cast<double>(source[Step * col]);
}

}  // namespace

void coarsenLevel(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols, StencilLevel& coarse,
                  const SolverThreads& threads) {
  const auto stencilOf = [&](int32_t row, int32_t col, double(&stencil)[5][5]) { fine.fullStencil(row, col, stencil); };
  const bool hasInterior = rows.interiorFirst <= rows.interiorLast && cols.interiorFirst <= cols.interiorLast;
  const std::vector<CoarseningTerm> terms = hasInterior
                                                ? regularTerms(RegularAxis(rows.coarsened), RegularAxis(cols.coarsened))
                                                : std::vector<CoarseningTerm>{};
  const int32_t firstInner = cols.interiorFirst;
  const int32_t innerCount = hasInterior ? cols.interiorLast - cols.interiorFirst + 1 : 0;
  const int rowScale = rows.coarsened ? 2 : 1;
  const int colScale = cols.coarsened ? 2 : 1;
  // Each coarse cell gathers its own stencil: the rows can be shared out.
  threads.forRows(rows.coarseCount, cols.coarseCount * kWorkPerCoarseCell, [&](int32_t firstRow, int32_t endRow) {
    std::vector<double> sums(static_cast<std::size_t>(kHalfStencilSize) * static_cast<std::size_t>(innerCount));
    for (int32_t row = firstRow; row < endRow; ++row) {
      const bool innerRow = hasInterior && row >= rows.interiorFirst && row <= rows.interiorLast;
      for (int32_t col = 0; col < cols.coarseCount; ++col)
        if (!innerRow || col < firstInner || col >= firstInner + innerCount)
          store(gatherStencil(stencilOf, rows, cols, row, col, kEveryCell), coarse, row, col);
      if (!innerRow) continue;
      // The cells away from the edges: term by term along the row.
      std::fill(sums.begin(), sums.end(), 0.0);
      for (const CoarseningTerm& term : terms) {
        const float* source =
            fine.slotRun(term.plane, rowScale * row + term.rowOffset, colScale * firstInner + term.colOffset);
        double* target = &sums[static_cast<std::size_t>(term.slot) * static_cast<std::size_t>(innerCount)];
        if (colScale == 2)
          addTerm<2>(term.weight, source, innerCount, target);
        else
          addTerm<1>(term.weight, source, innerCount, target);
      }
      for (int slot = 0; slot < kHalfStencilSize; ++slot)
        for (int32_t k = 0; k < innerCount; ++k)
          coarse.entry(row, firstInner + k, slot) =
              static_cast<float>(sums[static_cast<std::size_t>(slot) * static_cast<std::size_t>(innerCount) +
                                      static_cast<std::size_t>(k)]);
    }
  });
  coarse.finish(&threads);
}

std::vector<GridCell> coarseCellsReading(const AxisTransfer& rows, const AxisTransfer& cols,
                                         const std::vector<GridCell>& changed) {
  // A coarse stencil reads the fine stencils of its children, which reach two
  // cells further: the parents of the cells within two of a changed one.
  const auto parentsNear = [](const AxisTransfer& axis, int32_t index, std::vector<int32_t>& found) {
    found.clear();
    for (int32_t near = index - 2; near <= index + 2; ++near) {
      if (near < 0 || near >= axis.fineCount) continue;
      for (const auto& link : axis.parents[static_cast<std::size_t>(near)])
        if (link.weight != 0.0) found.push_back(link.index);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
  };
  std::vector<GridCell> cells;
  std::vector<int32_t> rowParents, colParents;
  for (const GridCell& cell : changed) {
    parentsNear(rows, cell.row, rowParents);
    parentsNear(cols, cell.col, colParents);
    for (const int32_t row : rowParents)
      for (const int32_t col : colParents) cells.push_back({row, col});
  }
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
  return cells;
}

void recoarsenImageCells(const FineOperator& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                         const std::vector<GridCell>& cells, StencilLevel& coarse) {
  const PaddedGrid& grid = fine.grid();
  const auto energyStencil = [&](int32_t row, int32_t col, double(&stencil)[5][5]) {
    fine.energyStencil(row, col, stencil);
  };
  const auto isFree = [&](int32_t row, int32_t col) {
    return (fine.state(grid.at(row, col)) & FineOperator::kFixed) == 0;
  };
  for (const GridCell& cell : cells) {
    HalfStencil half = gatherStencil(energyStencil, rows, cols, cell.row, cell.col, isFree);
    addDataTerm(fine, rows, cols, cell.row, cell.col, isFree, half);
    store(half, coarse, cell.row, cell.col);
  }
  coarse.finish(cells);
}

void recoarsenCells(const StencilLevel& fine, const AxisTransfer& rows, const AxisTransfer& cols,
                    const std::vector<GridCell>& cells, StencilLevel& coarse) {
  const auto stencilOf = [&](int32_t row, int32_t col, double(&stencil)[5][5]) { fine.fullStencil(row, col, stencil); };
  for (const GridCell& cell : cells)
    store(gatherStencil(stencilOf, rows, cols, cell.row, cell.col, kEveryCell), coarse, cell.row, cell.col);
  coarse.finish(cells);
}

}  // namespace filamorph
