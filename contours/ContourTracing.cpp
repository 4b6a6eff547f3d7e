// Tracing the edge map into ordered contours: labelling, count pass, ordering.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "contours/ContourCoder.h"
#include "contours/ContourExtent.h"
#include "contours/WalkRule.h"
#include "image/NonZeroBits.h"

namespace filamorph {

namespace {

constexpr std::pair<int32_t, int32_t> kNotFound{-1, -1};

// The number of 8-neighbours of (row, col) inside the image that carry
// `label`, counting no further than `limit`.
int32_t neighboursWithLabel(const ContourCoder& coder, int32_t row, int32_t col, int32_t label,
                            int32_t limit) {
  // Away from the border all eight are inside: they are counted without
  // tests or branches, since the capped count does not depend on the order.
  if (row > 0 && row < coder.height - 1 && col > 0 && col < coder.width - 1) {
    const int32_t* above = coder.labelPlane[row - 1] + col;
    const int32_t* here = coder.labelPlane[row] + col;
    const int32_t* below = coder.labelPlane[row + 1] + col;
    const int32_t all = (above[-1] == label) + (above[0] == label) + (above[1] == label) + (here[-1] == label) +
                        (here[1] == label) + (below[-1] == label) + (below[0] == label) + (below[1] == label);
    return std::min(all, limit);
  }
  int32_t count = 0;
  for (int32_t r = row - 1; r <= row + 1; ++r) {
    for (int32_t c = col - 1; c <= col + 1; ++c) {
      if ((r == row && c == col) || !coder.isInside(r, c)) continue;
      if (coder.labelPlane[r][c] == label && ++count == limit) return count;
    }
  }
  return count;
}

// Calls visit(row, col) for every set pixel of map in raster order.
template <typename Visit>
void forEachSetPixel(const Plane<uint8_t>& map, Visit visit) {
  const int32_t cols = map.cols();
  for (int32_t row = 0; row < map.rows(); ++row) {
    const uint8_t* values = map[row];
    for (int32_t c0 = 0; c0 < cols; c0 += kNonZeroBitsWidth) {
      const int32_t width = std::min(kNonZeroBitsWidth, cols - c0);
      for (uint64_t bits = nonZeroBits(values + c0, width); bits != 0; bits &= bits - 1)
        visit(row, c0 + std::countr_zero(bits));
    }
  }
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

  // The unlabelled pixels are the edge pixels yet: the edge map gives them
  // a word at a time.
  chainEndCandidates_.reset(labelPlane.size());
  forEachSetPixel(edgeMap, [&](int32_t row, int32_t col) {
    if (neighboursWithLabel(*this, row, col, -1, 2) == 1)
      chainEndCandidates_.insert(static_cast<std::size_t>(row) * static_cast<std::size_t>(cols) +
                                 static_cast<std::size_t>(col));
  });
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
  chainEndCandidates_.release();
}

// The first unlabelled edge pixel in raster order with exactly one unlabelled
// neighbour, as a scan from the first pixel would find it. Labels and counts
// only ever fall, so a pixel is an end during one stretch of the labelling
// that starts at the initial collection or at the walk that lowered its count
// to one (walkChain then adds it); the smallest candidate that is still an
// end is the answer. Unlabelled pixels without unlabelled neighbours can
// never join a chain nor count for another pixel, so dropping them all when
// no end is left gives the labels the full scans would give.
std::pair<int32_t, int32_t> ContourCoder::findChainEnd() {
  for (int64_t index = chainEndCandidates_.takeSmallest(); index >= 0; index = chainEndCandidates_.takeSmallest()) {
    const auto row = static_cast<int32_t>(index / cols);
    const auto col = static_cast<int32_t>(index % cols);
    if (labelPlane[row][col] == -1 && neighboursWithLabel(*this, row, col, -1, 2) == 1) return {row, col};
  }
  // Labels only ever fall from -1 at the edge pixels.
  forEachSetPixel(edgeMap, [&](int32_t row, int32_t col) {
    if (labelPlane[row][col] == -1 && neighboursWithLabel(*this, row, col, -1, 1) == 0) labelPlane[row][col] = 0;
  });
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

// Labelling a pixel lowers its unlabelled neighbours' counts; those that
// become chain ends join the candidates.
void ContourCoder::walkChain(int32_t row, int32_t col, int32_t direction) {
  const int32_t label = contourCount;
  walkByRule(
      *this, neighbourOffsets, row, col, direction,
      [this](int32_t r, int32_t c) { return labelPlane[r][c] == -1; },
      [this, label](int32_t r, int32_t c) {
        labelPlane[r][c] = label;
        for (int32_t nr = r - 1; nr <= r + 1; ++nr) {
          for (int32_t nc = c - 1; nc <= c + 1; ++nc) {
            if (!isInside(nr, nc) || labelPlane[nr][nc] != -1) continue;
            if (neighboursWithLabel(*this, nr, nc, -1, 2) != 1) continue;
            chainEndCandidates_.insert(static_cast<std::size_t>(nr) * static_cast<std::size_t>(cols) +
                                       static_cast<std::size_t>(nc));
          }
        }
      });
}

// The count pass: pixel count, bounding box and mean position of every label,
// and where its ordering walk starts, in one raster scan.
void ContourCoder::countContourPixels() {
  contoursReady = 1;
  const auto count = static_cast<std::size_t>(contourCount);
  contours.assign(count, Contour{});
  labelStarts_.assign(count, LabelStarts{});
  std::vector<ContourExtent> extents(count);

  for (int32_t row = 0; row < rows; ++row) {
    const int32_t* labels = labelPlane[row];
    for (int32_t col = 0; col < cols; ++col) {
      const int32_t label = labels[col];
      if (label <= 0 || label > contourCount) continue;
      Contour& contour = contours[label - 1];
      ++contour.pointCount;
      extents[label - 1].add(row, col);
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
    extents[i].describe(contour);
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
