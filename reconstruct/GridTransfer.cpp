#include "reconstruct/GridTransfer.h"

#include <algorithm>
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

// out += a x + b y along a run of cells.
[[gnu::always_inline]] inline void addRowsBody(float a, const float* x, float b, const float* y, int32_t count,
                                               float* out) {
  for (int32_t i = 0; i < count; ++i) out[i] += a * x[i] + b * y[i];
}
FILAMORPH_VECTOR_KERNEL(void, addRows, (float a, const float* x, float b, const float* y, int32_t count, float* out),
                        (a, x, b, y, count, out))

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

void prolongateAdd(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& fine, const PaddedGrid& coarse,
                   const float* e, float* x, std::vector<float>& scratch, const SolverThreads& threads) {
  const auto fineCols = static_cast<std::size_t>(fine.cols);
  scratch.resize(static_cast<std::size_t>(coarse.rows) * fineCols);
  threads.forRows(coarse.rows, fine.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const float* in = e + coarse.at(row, 0);
      float* out = &scratch[static_cast<std::size_t>(row) * fineCols];
      for (int32_t col = 0; col < fine.cols; ++col) {
        const auto& links = cols.parents[static_cast<std::size_t>(col)];
        out[col] = static_cast<float>(links[0].weight) * in[links[0].index] +
                   static_cast<float>(links[1].weight) * in[links[1].index];
      }
    }
  });
  threads.forRows(fine.rows, fine.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      const auto& links = rows.parents[static_cast<std::size_t>(row)];
      addRows(static_cast<float>(links[0].weight), &scratch[static_cast<std::size_t>(links[0].index) * fineCols],
              static_cast<float>(links[1].weight), &scratch[static_cast<std::size_t>(links[1].index) * fineCols],
              fine.cols, x + fine.at(row, 0));
    }
  });
}

void restrictResidual(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& fine,
                      const PaddedGrid& coarse, const float* t, float* b, std::vector<float>& scratch,
                      const SolverThreads& threads) {
  const auto fineCols = static_cast<std::size_t>(fine.cols);
  scratch.resize(static_cast<std::size_t>(coarse.rows) * fineCols);
  threads.forRows(coarse.rows, fine.cols, [&](int32_t firstRow, int32_t endRow) {
    for (int32_t row = firstRow; row < endRow; ++row) {
      float* gathered = &scratch[static_cast<std::size_t>(row) * fineCols];
      const auto& kids = rows.children[static_cast<std::size_t>(row)];
      const int count = rows.childCount[static_cast<std::size_t>(row)];
      const float* first = t + fine.at(kids[0].index, 0);
      const auto firstWeight = static_cast<float>(kids[0].weight);
      for (std::size_t col = 0; col < fineCols; ++col) gathered[col] = firstWeight * first[col];
      for (int k = 1; k < count; ++k) {
        const float* in = t + fine.at(kids[static_cast<std::size_t>(k)].index, 0);
        const auto weight = static_cast<float>(kids[static_cast<std::size_t>(k)].weight);
        for (std::size_t col = 0; col < fineCols; ++col) gathered[col] += weight * in[col];
      }
      float* out = b + coarse.at(row, 0);
      for (int32_t col = 0; col < coarse.cols; ++col) {
        const auto& colKids = cols.children[static_cast<std::size_t>(col)];
        const int colCount = cols.childCount[static_cast<std::size_t>(col)];
        float sum = 0.0f;
        for (int k = 0; k < colCount; ++k)
          sum += static_cast<float>(colKids[static_cast<std::size_t>(k)].weight) *
                 gathered[colKids[static_cast<std::size_t>(k)].index];
        out[col] = sum;
      }
    }
  });
}

}  // namespace filamorph
