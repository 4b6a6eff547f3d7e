// Which contours, and how many of their points, the next compressed file holds.

#include <algorithm>

#include "codecfile/CodedFileFormat.h"
#include "contours/ContourCoder.h"
#include "image/Compass.h"

namespace filamorph {
namespace {

// Number of leading points that a chain can carry: points inside the image,
// each an 8-neighbour of the one before, never stepping straight back (that
// symbol ends the chain), at most maxPoints of them.
int32_t chainablePointCount(const Contour& contour, int32_t rows, int32_t cols, int64_t maxPoints) {
  const auto inside = [rows, cols](const ContourPoint& point) {
    return point.row >= 0 && point.row < rows && point.col >= 0 && point.col < cols;
  };
  const auto count =
      static_cast<int32_t>(std::min<int64_t>(contour.pointCount, static_cast<int64_t>(contour.points.size())));
  if (count < 1 || !inside(contour.points[0])) return 0;
  int32_t previousCode = -1;
  for (int32_t j = 1; j < count; ++j) {
    const ContourPoint& point = contour.points[static_cast<size_t>(j)];
    const ContourPoint& before = contour.points[static_cast<size_t>(j - 1)];
    if (j >= maxPoints || !inside(point)) return j;
    const int32_t code = stepCode(point.row - before.row, point.col - before.col);
    if (code < 0) return j;
    if (previousCode >= 0 && codedfile::turnSymbol(previousCode, code) == codedfile::kEndSymbol) return j;
    previousCode = code;
  }
  return count;
}

}  // namespace

std::vector<ContourCoder::CodedContour> ContourCoder::planCodedContours(CodedFileSummary* summary) const {
  const int64_t maxPoints = codedfile::maxChainPoints(rows, cols);
  std::vector<CodedContour> plan;
  int32_t cut = 0;
  for (size_t i = 0; i < contours.size(); ++i) {
    const Contour& contour = contours[i];
    if (contour.selected != 1 || contour.pointCount < 2) continue;
    const int32_t count = chainablePointCount(contour, rows, cols, maxPoints);
    if (count < contour.pointCount) ++cut;
    if (count >= 2) plan.push_back({static_cast<int32_t>(i), count});
  }

  int32_t leftOut = 0;
  if (plan.size() > static_cast<size_t>(codedfile::kMaxContours)) {
    leftOut = static_cast<int32_t>(plan.size()) - codedfile::kMaxContours;
    // Keep the best-ranked contours, ties in table order, then restore table order.
    std::stable_sort(plan.begin(), plan.end(), [this](const CodedContour& a, const CodedContour& b) {
      return contours[static_cast<size_t>(a.index)].rank < contours[static_cast<size_t>(b.index)].rank;
    });
    plan.resize(static_cast<size_t>(codedfile::kMaxContours));
    std::sort(plan.begin(), plan.end(), [](const CodedContour& a, const CodedContour& b) { return a.index < b.index; });
  }

  if (summary != nullptr) {
    *summary = CodedFileSummary{};
    summary->contoursWritten = static_cast<int32_t>(plan.size());
    for (const CodedContour& coded : plan) summary->pointsWritten += coded.pointCount;
    summary->contoursLeftOut = leftOut;
    summary->contoursCut = cut;
  }
  return plan;
}

}  // namespace filamorph
