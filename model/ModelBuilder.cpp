// Model building over the traced contour table.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/WorkThreads.h"
#include "contours/ContourCoder.h"
#include "model/ProfileWork.h"

namespace filamorph {
namespace {

// Below this many points a second thread costs more than it saves.
constexpr int64_t kPointsForTwoThreads = 4096;
// Runs of points the threads take one by one: enough that the caller keeps
// working when the helper starts late or runs slower.
constexpr int64_t kRuns = 16;

// Sampling reads the gray and label planes at any pixel inside the image.
bool planesCoverImage(const ContourCoder& coder) {
  return coder.rows == coder.height && coder.cols == coder.width && coder.grayPlane.exists() &&
         coder.grayPlane.rows() == coder.rows && coder.grayPlane.cols() == coder.cols && coder.labelPlane.exists() &&
         coder.labelPlane.rows() == coder.rows && coder.labelPlane.cols() == coder.cols;
}

struct PointPlace {
  int32_t contour = 0;
  int32_t point = 0;
};

// Samples and fits the points from `from` to the end of contour `end` - 1,
// in order, on `scratch`.
void buildInOrder(ContourCoder& coder, PointPlace from, int32_t end, const ProfileScratch& scratch) {
  for (int32_t contour = from.contour; contour < end; ++contour, from.point = 0) {
    std::vector<ContourPoint>& points = coder.contours[contour].points;
    for (auto point = static_cast<std::size_t>(from.point); point < points.size(); ++point) {
      sampleProfileOf(coder, points[point], scratch.profile);
      fitProfileOf(points[point], coder.profileLambda, scratch);
    }
  }
}

// The first contours of runs of about equal numbers of points, and the table
// size after the last: one run when there are too few points to share.
std::vector<int32_t> runStarts(const std::vector<Contour>& contours) {
  const auto tableSize = static_cast<int32_t>(contours.size());
  int64_t total = 0;
  for (const Contour& contour : contours) total += static_cast<int64_t>(contour.points.size());
  std::vector<int32_t> starts{0};
  if (total >= kPointsForTwoThreads) {
    int64_t before = 0;
    for (int32_t contour = 0; contour < tableSize; ++contour) {
      if (before * kRuns >= total * static_cast<int64_t>(starts.size())) starts.push_back(contour);
      before += static_cast<int64_t>(contours[static_cast<std::size_t>(contour)].points.size());
    }
  }
  starts.push_back(tableSize);
  return starts;
}

// How far into the scratch vectors a fitted point wrote, from their start:
// the profile and the model values up to its count of samples, the pair
// errors up to its pairs.
struct Written {
  std::size_t samples = 0;
  std::size_t pairs = 0;

  static Written by(const ContourPoint& point) {
    const auto left = static_cast<std::size_t>(std::max<int32_t>(point.leftLength, 1));
    const auto right = static_cast<std::size_t>(std::max<int32_t>(point.rightLength, 1));
    return {left + right + 1, left * right};
  }
  void widen(const Written& other) {
    samples = std::max(samples, other.samples);
    pairs = std::max(pairs, other.pairs);
  }
  bool covers(const Written& other) const { return samples >= other.samples && pairs >= other.pairs; }
};

// The first point from which building the points from `split` on again, in
// order, leaves every place of the scratch vectors with what the last point
// to write it wrote: the last point back to one that wrote furthest.
PointPlace rebuildFrom(const std::vector<Contour>& contours, int32_t split) {
  Written furthest;
  for (auto contour = static_cast<std::size_t>(split); contour < contours.size(); ++contour) {
    for (const ContourPoint& point : contours[contour].points) furthest.widen(Written::by(point));
  }
  PointPlace place{static_cast<int32_t>(contours.size()), 0};
  Written covered;
  while (!covered.covers(furthest)) {
    while (place.point == 0) {
      --place.contour;
      place.point = static_cast<int32_t>(contours[place.contour].points.size());
    }
    --place.point;
    covered.widen(Written::by(contours[place.contour].points[place.point]));
  }
  return place;
}

void growTo(std::vector<float>& values, std::size_t size) {
  if (values.size() < size) values.resize(size);
}

}  // namespace

void ContourCoder::buildModel() {
  if (contours.empty() || !planesCoverImage(*this)) return;
  measureSpans();
  const auto tableSize = static_cast<int32_t>(contours.size());
  const std::vector<int32_t> starts = runStarts(contours);
  const auto runs = static_cast<int32_t>(starts.size()) - 1;
  if (workThreads == nullptr || runs == 1) return buildInOrder(*this, {}, tableSize, scratchOf(*this));

  // The points are independent and each writes only its own fields. The
  // caller takes the runs from the first on, building on the coder's scratch
  // members; the helper takes them from the last back, on scratch of its own
  // that grows from nothing.
  std::vector<float> helperProfile, helperModelValues, helperPairErrors;
  int16_t helperLeft = 0, helperRight = 0;
  const ProfileScratch helperScratch{helperProfile, helperModelValues, helperPairErrors, helperLeft, helperRight};
  const std::thread::id caller = std::this_thread::get_id();
  int32_t helperFrom = runs;
  workThreads->forTasks(runs, [&](int32_t run) {
    const bool onCaller = std::this_thread::get_id() == caller;
    if (!onCaller) helperFrom = run;
    buildInOrder(*this, {starts[run], 0}, starts[run + 1], onCaller ? scratchOf(*this) : helperScratch);
  });
  if (helperFrom == runs) return;

  // The scratch members end as the points built one after the other leave
  // them: as large as any point needed, and each place holding what the last
  // point to write it wrote. A point built twice comes out the same, since
  // its sampling then stops at the counts it took the first time.
  growTo(profile, helperProfile.size());
  growTo(modelValues, helperModelValues.size());
  growTo(pairErrors, helperPairErrors.size());
  buildInOrder(*this, rebuildFrom(contours, starts[helperFrom]), tableSize, scratchOf(*this));
}

}  // namespace filamorph
