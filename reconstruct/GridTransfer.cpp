#include "reconstruct/GridTransfer.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "reconstruct/VectorKernel.h"

namespace filamorph {

namespace {

// The pattern of links of a fine index far from both ends of the axis.
bool linksAreRegular(const AxisTransfer& axis, int32_t fineIndex) {
  const auto& links = axis.parents[static_cast<std::size_t>(fineIndex)];
  if (!axis.coarsened || fineIndex % 2 == 0) return links[0].weight == 1.0 && links[1].weight == 0.0;
  return links[0].weight == 0.5 && links[1].weight == 0.5;
}

// The fine molecules are the inner ones at every child, and every cell they
// reach interpolates as in the middle of the axis.
bool isInterior(const AxisTransfer& axis, int32_t coarseIndex) {
  const auto& kids = axis.children[static_cast<std::size_t>(coarseIndex)];
  const int count = axis.childCount[static_cast<std::size_t>(coarseIndex)];
  if (count != (axis.coarsened ? 3 : 1)) return false;
  for (int k = 0; k < count; ++k) {
    const int32_t child = kids[k].index;
    if (child < 2 || child > axis.fineCount - 3) return false;
    for (int32_t reach = child - 2; reach <= child + 2; ++reach)
      if (!linksAreRegular(axis, reach)) return false;
  }
  return true;
}

// out = out + (a x + b y) along a run of cells, or 0 where `inverse` is 0.
[[gnu::always_inline]] inline void addRowsBody(float a, const float* x, float b, const float* y, const float* inverse,
                                               int32_t count, float* out) {
  if (inverse == nullptr) {
    for (int32_t i = 0; i < count; ++i) out[i] += a * x[i] + b * y[i];
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    const float sum = out[i] + (a * x[i] + b * y[i]);
    out[i] = inverse[i] != 0.0f ? sum : 0.0f;
  }
}
FILAMORPH_VECTOR_KERNEL(void, addRows,
                        (float a, const float* x, float b, const float* y, const float* inverse, int32_t count,
                         float* out),
                        (a, x, b, y, inverse, count, out))

// Along a halved axis away from its last index, a fine index 2 c takes its
// parent c whole and 2 c + 1 half of c and half of c + 1.
[[gnu::always_inline]] inline void interpolatePairsBody(const float* coarse, int32_t pairs, float* fine) {
  for (int32_t c = 0; c < pairs; ++c) {
    fine[2 * c] = coarse[c];
    fine[2 * c + 1] = 0.5f * coarse[c] + 0.5f * coarse[c + 1];
  }
}
FILAMORPH_VECTOR_KERNEL(void, interpolatePairs, (const float* coarse, int32_t pairs, float* fine),
                        (coarse, pairs, fine))

// The transpose along a halved axis, for coarse indices 1 .. count whose
// children are 2 c - 1, 2 c and 2 c + 1, added in that order.
[[gnu::always_inline]] inline void gatherTriplesBody(const float* fine, int32_t count, float* coarse) {
  for (int32_t c = 1; c <= count; ++c) coarse[c] = (0.5f * fine[2 * c - 1] + fine[2 * c]) + 0.5f * fine[2 * c + 1];
}
FILAMORPH_VECTOR_KERNEL(void, gatherTriples, (const float* fine, int32_t count, float* coarse), (fine, count, coarse))

// The interpolation along one row: coarse values in, fine values out. The
// links of every index give the weights; the regular middle of a halved
// axis runs as one vector loop with the same arithmetic.
void interpolateRow(const AxisTransfer& axis, const float* in, float* out) {
  int32_t first = 0;
  if (axis.coarsened && axis.coarseCount >= 2) {
    interpolatePairs(in, axis.coarseCount - 1, out);
    first = 2 * (axis.coarseCount - 1);
  }
  for (int32_t i = first; i < axis.fineCount; ++i) {
    const auto& links = axis.parents[static_cast<std::size_t>(i)];
    out[i] = static_cast<float>(links[0].weight) * in[links[0].index] +
             static_cast<float>(links[1].weight) * in[links[1].index];
  }
}

// The transpose of interpolateRow: fine values in, coarse values out.
void gatherRow(const AxisTransfer& axis, const float* in, float* out) {
  const auto gatherAt = [&](int32_t c) {
    const auto& kids = axis.children[static_cast<std::size_t>(c)];
    const int count = axis.childCount[static_cast<std::size_t>(c)];
    float sum = 0.0f;
    for (int k = 0; k < count; ++k)
      sum += static_cast<float>(kids[static_cast<std::size_t>(k)].weight) * in[kids[static_cast<std::size_t>(k)].index];
    out[c] = sum;
  };
  if (!axis.coarsened || axis.coarseCount < 3) {
    for (int32_t c = 0; c < axis.coarseCount; ++c) gatherAt(c);
    return;
  }
  gatherAt(0);
  gatherTriples(in, axis.coarseCount - 2, out);
  gatherAt(axis.coarseCount - 1);
}

// Interpolated coarse rows made on demand and kept while the next fine rows
// may still ask for them: the rows asked for only move forward, and a fine
// row asks for at most two, so the slots never drop a row still wanted.
class RowCache {
 public:
  void reset(std::size_t length) {
    for (Slot& slot : slots_) {
      slot.row = -1;
      slot.values.resize(length);
    }
  }
  template <typename Make>
  const float* row(int32_t row, Make&& make) {
    Slot* oldest = &slots_[0];
    for (Slot& slot : slots_) {
      if (slot.row == row) return slot.values.data();
      if (slot.row < oldest->row) oldest = &slot;
    }
    oldest->row = row;
    make(row, oldest->values.data());
    return oldest->values.data();
  }

 private:
  struct Slot {
    int32_t row = -1;
    std::vector<float> values;
  };
  std::array<Slot, 3> slots_;
};

}  // namespace

AxisTransfer AxisTransfer::make(int32_t fineCount, bool coarsen) {
  AxisTransfer axis;
  axis.coarsened = coarsen;
  axis.fineCount = fineCount;
  axis.coarseCount = coarsen ? (fineCount + 1) / 2 : fineCount;
  axis.parents.resize(static_cast<std::size_t>(fineCount));
  for (int32_t i = 0; i < fineCount; ++i) {
    auto& links = axis.parents[static_cast<std::size_t>(i)];
    if (!coarsen || i % 2 == 0) {
      const int32_t parent = coarsen ? i / 2 : i;
      links = {Link{parent, 1.0}, Link{parent, 0.0}};
    } else if ((i + 1) / 2 < axis.coarseCount) {
      links = {Link{i / 2, 0.5}, Link{i / 2 + 1, 0.5}};
    } else {
      links = {Link{i / 2, 1.0}, Link{i / 2, 0.0}};
    }
  }
  axis.children.resize(static_cast<std::size_t>(axis.coarseCount));
  axis.childCount.assign(static_cast<std::size_t>(axis.coarseCount), 0);
  for (int32_t i = 0; i < fineCount; ++i) {
    for (const Link& link : axis.parents[static_cast<std::size_t>(i)]) {
      if (link.weight == 0.0) continue;
      const auto parent = static_cast<std::size_t>(link.index);
      axis.children[parent][axis.childCount[parent]++] = Link{i, link.weight};
    }
  }
  for (int32_t c = 0; c < axis.coarseCount; ++c) {
    if (!isInterior(axis, c)) continue;
    if (axis.interiorLast < axis.interiorFirst) axis.interiorFirst = c;
    axis.interiorLast = c;
  }
  return axis;
}

void prolongateAdd(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& coarse, const float* e,
                   const CycleLevel& level, bool zeroWhereNoPart, float* x, const SolverThreads& threads) {
  const PaddedGrid& fine = level.grid();
  threads.forRows(fine.rows, fine.cols, [&](int32_t firstRow, int32_t endRow) {
    thread_local RowCache interpolated;
    interpolated.reset(static_cast<std::size_t>(fine.cols));
    const auto interpolate = [&](int32_t row, float* out) { interpolateRow(cols, e + coarse.at(row, 0), out); };
    for (int32_t row = firstRow; row < endRow; ++row) {
      const auto& links = rows.parents[static_cast<std::size_t>(row)];
      const float* first = interpolated.row(links[0].index, interpolate);
      const float* second = interpolated.row(links[1].index, interpolate);
      const std::ptrdiff_t cell = fine.at(row, 0);
      addRows(static_cast<float>(links[0].weight), first, static_cast<float>(links[1].weight), second,
              zeroWhereNoPart ? level.inverseDiagonal() + cell : nullptr, fine.cols, x + cell);
    }
  });
}

namespace {

// The coarse rows a thread's current block makes, and the sums of the fine
// rows that have come for the two that may be open at once: a fine row
// between two coarse ones is a child of both.
struct OpenRestriction {
  int32_t firstCoarse = 0;
  int32_t endCoarse = 0;
  std::array<std::vector<float>, 2> gathered;
};
thread_local OpenRestriction openRestriction;

}  // namespace

void ResidualRestriction::beginBlock(int32_t first, int32_t end) const {
  // Coarse row I's middle child is 2 I on a halved axis, I otherwise.
  const int32_t scale = rows_.coarsened ? 2 : 1;
  OpenRestriction& open = openRestriction;
  open.firstCoarse = (first + scale - 1) / scale;
  open.endCoarse = std::min((end + scale - 1) / scale, rows_.coarseCount);
  for (std::vector<float>& sum : open.gathered) sum.resize(static_cast<std::size_t>(cols_.fineCount));
}

void ResidualRestriction::takeRow(int32_t row, const float* residual) const {
  OpenRestriction& open = openRestriction;
  const auto fineCols = static_cast<std::size_t>(cols_.fineCount);
  for (const auto& link : rows_.parents[static_cast<std::size_t>(row)]) {
    const int32_t parent = link.index;
    if (link.weight == 0.0 || parent < open.firstCoarse || parent >= open.endCoarse) continue;
    const auto& kids = rows_.children[static_cast<std::size_t>(parent)];
    const int count = rows_.childCount[static_cast<std::size_t>(parent)];
    std::vector<float>& sum = open.gathered[static_cast<std::size_t>(parent % 2)];
    const auto weight = static_cast<float>(link.weight);
    if (row == kids[0].index) {
      for (std::size_t col = 0; col < fineCols; ++col) sum[col] = weight * residual[col];
    } else {
      for (std::size_t col = 0; col < fineCols; ++col) sum[col] += weight * residual[col];
    }
    if (row == kids[static_cast<std::size_t>(count - 1)].index)
      gatherRow(cols_, sum.data(), coarseB_ + coarse_.at(parent, 0));
  }
}

}  // namespace filamorph
