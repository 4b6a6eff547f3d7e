// Tracing the edge map into ordered contours: labelling, count pass, ordering.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "contours/ContourCoder.h"
#include "contours/WalkRule.h"

namespace filamorph {

namespace {

constexpr std::pair<int32_t, int32_t> kNotFound{-1, -1};

// The number of 8-neighbours of (row, col) inside the image that carry
// `label`, counting no further than `limit`.
int32_t neighboursWithLabel(const ContourCoder& coder, int32_t row, int32_t col, int32_t label,
                            int32_t limit) {
  int32_t count = 0;
  for (int32_t r = row - 1; r <= row + 1; ++r) {
    for (int32_t c = col - 1; c <= col + 1; ++c) {
      if ((r == row && c == col) || !coder.isInside(r, c)) continue;
      if (coder.labelPlane[r][c] == label && ++count == limit) return count;
    }
  }
  return count;
}

}  // namespace

bool ContourCoder::tracingPlanesFit() const {
  return edgePlanesAllocated == 1 && rows == height && cols == width && edgeMap.exists() &&
         edgeMap.rows() == rows && edgeMap.cols() == cols;
}

void ContourCoder::traceContours() {
  if (!tracingPlanesFit()) return;

  const bool labelPlaneFits = labelsReady == 1 && labelPlane.exists() && labelPlane.rows() == rows &&
                              labelPlane.cols() == cols;
  if (labelPlaneFits) {
    // A retrace: every contour of the previous tracing kept at least its
    // start pixel, so the largest label is its contour count, even when a
    // table read from a file has replaced contourCount since.
    const int32_t* labels = labelPlane.data();
    contourCount = 0;
    for (std::size_t i = 0; i < labelPlane.size(); ++i) contourCount = std::max(contourCount, labels[i]);
  } else {
    labelChains();
  }

  countContourPixels();
  maxContourLength = -1;
  for (int32_t label = 1; label <= contourCount; ++label) {
    orderContour(label);
    maxContourLength = std::max(maxContourLength, contours[label - 1].pointCount);
  }
  labelStarts_.clear();
  labelStarts_.shrink_to_fit();
  finishLabels();
}

void ContourCoder::labelChains() {
  labelPlane.allocate(rows, cols);
  labelsReady = 1;
  contourCount = 0;
  edgePixelCount = 0;
  const uint8_t* edges = edgeMap.data();
  int32_t* labels = labelPlane.data();
  for (std::size_t i = 0; i < labelPlane.size(); ++i) {
    labels[i] = edges[i] != 0 ? -1 : 0;
    edgePixelCount += edges[i] != 0 ? 1 : 0;
  }
  if (edgePixelCount == 0) return;

  chainScanFrom_ = 0;
  for (;;) {
    const auto [row, col] = findChainEnd();
    if (row < 0) break;
    ++contourCount;
    walkChain(row, col, 0);
  }

  unlabelledScanFrom_ = 0;
  for (;;) {
    const auto [row, col] = findUnlabelled();
    if (row < 0) break;
    ++contourCount;
    walkChain(row, col, 1);
  }
}

// The first unlabelled edge pixel in raster order with exactly one unlabelled
// neighbour; unlabelled pixels without any are dropped on the way. The search
// means "from the first pixel", but a pixel before chainScanFrom_ has kept its
// label and neighbour count since the last search looked at it (walkChain
// lowers the mark below every neighbour of a pixel it labels), so resuming
// there finds the same pixel.
std::pair<int32_t, int32_t> ContourCoder::findChainEnd() {
  const int64_t total = static_cast<int64_t>(rows) * cols;
  for (int64_t index = chainScanFrom_; index < total; ++index) {
    const auto row = static_cast<int32_t>(index / cols);
    const auto col = static_cast<int32_t>(index % cols);
    if (labelPlane[row][col] != -1) continue;
    const int32_t neighbours = neighboursWithLabel(*this, row, col, -1, 2);
    if (neighbours == 0) {
      labelPlane[row][col] = 0;
    } else if (neighbours == 1) {
      chainScanFrom_ = index;
      return {row, col};
    }
  }
  chainScanFrom_ = total;
  return kNotFound;
}

// The first unlabelled pixel in raster order. Walks only ever take labels
// away, so the search resumes where the last one stopped.
std::pair<int32_t, int32_t> ContourCoder::findUnlabelled() {
  const int64_t total = static_cast<int64_t>(rows) * cols;
  const int32_t* labels = labelPlane.data();
  for (int64_t index = unlabelledScanFrom_; index < total; ++index) {
    if (labels[index] == -1) {
      unlabelledScanFrom_ = index;
      return {static_cast<int32_t>(index / cols), static_cast<int32_t>(index % cols)};
    }
  }
  unlabelledScanFrom_ = total;
  return kNotFound;
}

void ContourCoder::walkChain(int32_t row, int32_t col, int32_t direction) {
  const int32_t label = contourCount;
  walkByRule(
      *this, neighbourOffsets, row, col, direction,
      [this](int32_t r, int32_t c) { return labelPlane[r][c] == -1; },
      [this, label](int32_t r, int32_t c) {
        labelPlane[r][c] = label;
        const int64_t firstNeighbour = static_cast<int64_t>(r - 1) * cols + (c - 1);
        chainScanFrom_ = std::min(chainScanFrom_, std::max<int64_t>(firstNeighbour, 0));
      });
}

// The count pass: pixel count, bounding box and mean position of every label,
// and where its ordering walk starts, in one raster scan.
void ContourCoder::countContourPixels() {
  struct Extent {
    int32_t minRow;
    int32_t minCol;
    int32_t maxRow = -1;
    int32_t maxCol = -1;
    int64_t rowSum = 0;
    int64_t colSum = 0;
  };
  contoursReady = 1;
  const auto count = static_cast<std::size_t>(contourCount);
  contours.assign(count, Contour{});
  labelStarts_.assign(count, LabelStarts{});
  std::vector<Extent> extents(count, Extent{rows, cols});

  for (int32_t row = 0; row < rows; ++row) {
    const int32_t* labels = labelPlane[row];
    for (int32_t col = 0; col < cols; ++col) {
      const int32_t label = labels[col];
      if (label <= 0 || label > contourCount) continue;
      Contour& contour = contours[label - 1];
      Extent& extent = extents[label - 1];
      ++contour.pointCount;
      extent.minRow = std::min(extent.minRow, row);
      extent.minCol = std::min(extent.minCol, col);
      extent.maxRow = std::max(extent.maxRow, row);
      extent.maxCol = std::max(extent.maxCol, col);
      extent.rowSum += row;
      extent.colSum += col;
      LabelStarts& starts = labelStarts_[label - 1];
      if (starts.firstPixel == kNotFound) starts.firstPixel = {row, col};
      if (starts.firstEnd == kNotFound && neighboursWithLabel(*this, row, col, label, 2) == 1) {
        starts.firstEnd = {row, col};
      }
    }
  }

  for (std::size_t i = 0; i < count; ++i) {
    Contour& contour = contours[i];
    contour.selected = 1;
    if (contour.pointCount == 0) continue;
    const Extent& extent = extents[i];
    contour.spanCols = extent.maxCol - extent.minCol;
    contour.spanRows = extent.maxRow - extent.minRow;
    contour.left = extent.minCol;
    contour.top = extent.minRow;
    contour.meanCol = static_cast<float>(static_cast<double>(extent.colSum) / contour.pointCount);
    contour.meanRow = static_cast<float>(static_cast<double>(extent.rowSum) / contour.pointCount);
    contour.points.reserve(static_cast<std::size_t>(contour.pointCount));
  }
}

// Lists the label's pixels along the chain, from its first end in raster
// order or, for a loop, from its first pixel. The point count becomes the
// number of points the walk reached; the box and means stay those of the
// count pass.
void ContourCoder::orderContour(int32_t label) {
  if (label < 1 || label > contourCount || static_cast<std::size_t>(label) > contours.size()) return;
  Contour& contour = contours[label - 1];
  std::pair<int32_t, int32_t> start = findContourEnd(label);
  contour.closed = start == kNotFound ? 1 : 0;
  if (contour.closed == 1) start = findContourPixel(label);
  contour.points.clear();
  if (start != kNotFound) walkContour(label, start.first, start.second, 0);
  contour.pointCount = static_cast<int32_t>(contour.points.size());
}

std::pair<int32_t, int32_t> ContourCoder::findContourEnd(int32_t label) {
  if (label < 1 || static_cast<std::size_t>(label) > labelStarts_.size()) return kNotFound;
  return labelStarts_[label - 1].firstEnd;
}

std::pair<int32_t, int32_t> ContourCoder::findContourPixel(int32_t label) {
  if (label < 1 || static_cast<std::size_t>(label) > labelStarts_.size()) return kNotFound;
  return labelStarts_[label - 1].firstPixel;
}

void ContourCoder::walkContour(int32_t label, int32_t row, int32_t col, int32_t direction) {
  if (label < 1 || static_cast<std::size_t>(label) > contours.size()) return;
  std::vector<ContourPoint>& points = contours[label - 1].points;
  const int32_t visited = label + contourCount;
  walkByRule(
      *this, neighbourOffsets, row, col, direction,
      [this, label](int32_t r, int32_t c) { return labelPlane[r][c] == label; },
      [this, &points, visited](int32_t r, int32_t c) {
        ContourPoint point;
        point.row = r;
        point.col = c;
        points.push_back(point);
        labelPlane[r][c] = visited;
      });
}

// Brings the labels to their final values: k where contour k's walk passed,
// zero or less elsewhere. Retraces keep lowering the unreached pixels, so the
// subtraction stops at the smallest label rather than wrapping round.
void ContourCoder::finishLabels() {
  constexpr int64_t kLowest = std::numeric_limits<int32_t>::min();
  int32_t* labels = labelPlane.data();
  for (std::size_t i = 0; i < labelPlane.size(); ++i) {
    labels[i] = static_cast<int32_t>(std::max(static_cast<int64_t>(labels[i]) - contourCount, kLowest));
  }
}

}  // namespace filamorph
