#include "reconstruct/GridTransfer.h"

#include <algorithm>
#include <cstddef>

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
                   const double* e, double* x) {
  for (int32_t row = 0; row < fine.rows; ++row) {
    const auto& rowLinks = rows.parents[static_cast<std::size_t>(row)];
    const double* upper = e + coarse.at(rowLinks[0].index, 0);
    const double* lower = e + coarse.at(rowLinks[1].index, 0);
    const double upperWeight = rowLinks[0].weight;
    const double lowerWeight = rowLinks[1].weight;
    double* out = x + fine.at(row, 0);
    for (int32_t col = 0; col < fine.cols; ++col) {
      const auto& colLinks = cols.parents[static_cast<std::size_t>(col)];
      const int32_t left = colLinks[0].index;
      const int32_t right = colLinks[1].index;
      const double atLeft = upperWeight * upper[left] + lowerWeight * lower[left];
      const double atRight = upperWeight * upper[right] + lowerWeight * lower[right];
      out[col] += colLinks[0].weight * atLeft + colLinks[1].weight * atRight;
    }
  }
}

void restrictResidual(const AxisTransfer& rows, const AxisTransfer& cols, const PaddedGrid& fine,
                      const PaddedGrid& coarse, const double* t, double* b) {
  std::fill(b, b + coarse.cellCount(), 0.0);
  for (int32_t row = 0; row < fine.rows; ++row) {
    const auto& rowLinks = rows.parents[static_cast<std::size_t>(row)];
    double* upper = b + coarse.at(rowLinks[0].index, 0);
    double* lower = b + coarse.at(rowLinks[1].index, 0);
    const double* in = t + fine.at(row, 0);
    for (int32_t col = 0; col < fine.cols; ++col) {
      const auto& colLinks = cols.parents[static_cast<std::size_t>(col)];
      const double value = in[col];
      for (const auto& colLink : colLinks) {
        const double share = colLink.weight * value;
        upper[colLink.index] += rowLinks[0].weight * share;
        lower[colLink.index] += rowLinks[1].weight * share;
      }
    }
  }
}

}  // namespace filamorph
