// Tracing the edge map into ordered contours: labelling, count pass, ordering.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "base/WorkThreads.h"
#include "contours/ContourCoder.h"
#include "contours/ContourExtent.h"
#include "contours/WalkRule.h"
#include "image/NonZeroBits.h"

namespace filamorph {

namespace {

constexpr std::pair<int32_t, int32_t> kNotFound{-1, -1};
// The most runs of labels the threads order: enough that the caller keeps
// working when the helper starts late.
constexpr int32_t kOrderingRuns = 16;

// The number of 8-neighbours of (row, col) inside the image that carry
// `label`, counting no further than `limit`.
int32_t neighboursWithLabel(const ContourCoder& coder, int32_t row, int32_t col, int32_t label, int32_t limit) {
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

// Lowers a row of labels by shift, stopping at the smallest label. Its bounds
// come as values: read through a reference, they could be written through
// the labels as far as the compiler knows, which keeps the loop from vectors.
void finishRow(int32_t* labels, int32_t count, int32_t lowestKept, int32_t shift) {
  constexpr int32_t kLowest = std::numeric_limits<int32_t>::min();
  for (int32_t col = 0; col < count; ++col) labels[col] = labels[col] < lowestKept ? kLowest : labels[col] - shift;
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
  return edgePlanesAllocated == 1 && rows == height && cols == width && edgeMap.exists() && edgeMap.rows() == rows &&
         edgeMap.cols() == cols;
}

void ContourCoder::traceContours() {
  if (!tracingPlanesFit()) return;

  const bool labelPlaneFits =
      labelsReady == 1 && labelPlane.exists() && labelPlane.rows() == rows && labelPlane.cols() == cols;
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
  orderContours();
  maxContourLength = -1;
  for (const Contour& contour : contours) maxContourLength = std::max(maxContourLength, contour.pointCount);
  labelStarts_.clear();
  labelStarts_.shrink_to_fit();
  finishLabels();
}

void ContourCoder::labelChains() {
  labelPlane.allocate(rows, cols);
  labelsReady = 1;
  contourCount = 0;
  edgePixelCount = 0;
  // Counted in a local, for the reason finishRow gives.
  const uint8_t* edges = edgeMap.data();
  int32_t* labels = labelPlane.data();
  const std::size_t size = labelPlane.size();
  int32_t edgePixels = 0;
  for (std::size_t i = 0; i < size; ++i) {
    labels[i] = edges[i] != 0 ? -1 : 0;
    edgePixels += edges[i] != 0 ? 1 : 0;
  }
  edgePixelCount = edgePixels;
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
      *this, neighbourOffsets, row, col, direction, [this](int32_t r, int32_t c) { return labelPlane[r][c] == -1; },
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
// and where its ordering walk starts, in one raster scan. The threads scan
// runs of rows, each into counts of its own, joined in row order after.
void ContourCoder::countContourPixels() {
  contoursReady = 1;
  const auto count = static_cast<std::size_t>(contourCount);
  contours.assign(count, Contour{});
  labelStarts_.assign(count, LabelStarts{});

  struct RunCounts {
    std::vector<ContourExtent> extents;
    std::vector<LabelStarts> starts;
  };
  const bool shared = workThreads != nullptr && workThreads->count() > 1 && rows >= 2;
  std::vector<RunCounts> runs(shared ? 2 : 1);
  forTasks(workThreads, static_cast<int32_t>(runs.size()), [&](int32_t run) {
    RunCounts& counts = runs[static_cast<std::size_t>(run)];
    counts.extents.assign(count, ContourExtent{});
    counts.starts.assign(count, LabelStarts{});
    const int32_t endRow = static_cast<int32_t>(static_cast<int64_t>(rows) * (run + 1) / std::ssize(runs));
    const int32_t width = cols;
    const int32_t lastLabel = contourCount;
    for (int32_t row = static_cast<int32_t>(static_cast<int64_t>(rows) * run / std::ssize(runs)); row < endRow; ++row) {
      const int32_t* labels = labelPlane[row];
      for (int32_t col = 0; col < width; ++col) {
        const int32_t label = labels[col];
        if (label <= 0 || label > lastLabel) continue;
        counts.extents[label - 1].add(row, col);
        LabelStarts& starts = counts.starts[label - 1];
        if (starts.firstPixel == kNotFound) starts.firstPixel = {row, col};
        if (starts.firstEnd == kNotFound && neighboursWithLabel(*this, row, col, label, 2) == 1) {
          starts.firstEnd = {row, col};
        }
      }
    }
  });

  for (std::size_t i = 0; i < count; ++i) {
    ContourExtent extent;
    LabelStarts& starts = labelStarts_[i];
    for (const RunCounts& counts : runs) {
      extent.merge(counts.extents[i]);
      if (starts.firstPixel == kNotFound) starts.firstPixel = counts.starts[i].firstPixel;
      if (starts.firstEnd == kNotFound) starts.firstEnd = counts.starts[i].firstEnd;
    }
    Contour& contour = contours[i];
    contour.selected = 1;
    contour.pointCount = static_cast<int32_t>(extent.count());
    if (contour.pointCount == 0) continue;
    extent.describe(contour);
    contour.points.reserve(static_cast<std::size_t>(contour.pointCount));
  }
}

// Orders every label. Each walk reads and marks only its own label's pixels,
// so runs of labels go to the threads; a pixel may be read by the walk of a
// neighbouring label as another walk marks it, hence the atomic accesses in
// walkContour, which either value leaves unmatched.
void ContourCoder::orderContours() {
  int64_t pixels = 0;
  for (const Contour& contour : contours) pixels += contour.pointCount;
  const bool shared = workThreads != nullptr && workThreads->count() > 1 && contourCount > 1;
  const int32_t runs = shared ? std::min(contourCount, kOrderingRuns) : 1;
  // The labels of run k start where the pixels before them reach k / runs.
  std::vector<int32_t> firstLabels{1};
  int64_t before = 0;
  for (int32_t label = 1; label <= contourCount; ++label) {
    if (before * runs >= pixels * std::ssize(firstLabels)) firstLabels.push_back(label);
    before += contours[static_cast<std::size_t>(label - 1)].pointCount;
  }
  firstLabels.push_back(contourCount + 1);
  forTasks(workThreads, static_cast<int32_t>(firstLabels.size()) - 1, [&](int32_t run) {
    for (int32_t label = firstLabels[static_cast<std::size_t>(run)];
         label < firstLabels[static_cast<std::size_t>(run) + 1]; ++label)
      orderContour(label);
  });
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
      [this, label](int32_t r, int32_t c) {
        return std::atomic_ref<int32_t>(labelPlane[r][c]).load(std::memory_order_relaxed) == label;
      },
      [this, &points, visited](int32_t r, int32_t c) {
        ContourPoint point;
        point.row = r;
        point.col = c;
        points.push_back(point);
        std::atomic_ref<int32_t>(labelPlane[r][c]).store(visited, std::memory_order_relaxed);
      });
}

// Brings the labels to their final values: k where contour k's walk passed,
// zero or less elsewhere. Retraces keep lowering the unreached pixels, so the
// subtraction stops at the smallest label rather than wrapping round.
void ContourCoder::finishLabels() {
  const int32_t lowestKept = std::numeric_limits<int32_t>::min() + std::max(contourCount, 0);
  const int32_t shift = contourCount;
  forRows(workThreads, rows, cols, [&](int32_t first, int32_t end) {
    for (int32_t row = first; row < end; ++row) finishRow(labelPlane[row], cols, lowestKept, shift);
  });
}

}  // namespace filamorph
