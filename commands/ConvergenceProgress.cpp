#include "base/TextFormat.h"
#include "commands/ConvergenceProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace filamorph {
namespace {

// The pace is judged over the later half of the sweeps, split in two quarters
// that must agree within this factor before an estimate is given.
constexpr std::size_t kMinimumSweepsForEstimate = 8;
constexpr double kSteadyPaceFactor = 2.0;

}  // namespace

void ConvergenceProgress::addSweep(int sweep, float meanChange, double elapsedSeconds) {
  sweep_ = sweep;
  meanChange_ = meanChange;
  elapsedSeconds_ = elapsedSeconds;
  if (std::isnan(meanChange)) return;

  double reached = 0.0;
  if (meanChange <= tolerance_ || meanChange <= 0.0f) {
    reached = 1.0;
  } else if (std::isfinite(meanChange)) {
    const double logChange = std::log(static_cast<double>(meanChange));
    if (!firstLogChange_) firstLogChange_ = logChange;
    const double logTolerance = std::log(static_cast<double>(tolerance_));
    const double span = *firstLogChange_ - logTolerance;
    // A first sweep already at the tolerance leaves no way to go.
    reached = span > 0.0 ? std::clamp((*firstLogChange_ - logChange) / span, 0.0, 1.0) : 1.0;
  }
  fraction_ = std::max(fraction_, reached);
  samples_.push_back({elapsedSeconds, fraction_});
}

std::optional<double> ConvergenceProgress::pace(const Sample& from, const Sample& to) {
  const double seconds = to.seconds - from.seconds;
  if (!(seconds > 0.0)) return std::nullopt;
  return (to.fraction - from.fraction) / seconds;
}

std::optional<double> ConvergenceProgress::remainingSeconds() const {
  if (fraction_ >= 1.0) return 0.0;
  const std::size_t count = samples_.size();
  if (count < kMinimumSweepsForEstimate) return std::nullopt;
  const Sample& half = samples_[count / 2];
  const Sample& threeQuarters = samples_[(3 * count) / 4];
  const Sample& last = samples_.back();
  const std::optional<double> earlier = pace(half, threeQuarters);
  const std::optional<double> later = pace(threeQuarters, last);
  if (!earlier || !later || !(*earlier > 0.0) || !(*later > 0.0)) return std::nullopt;
  const double ratio = *later / *earlier;
  if (ratio > kSteadyPaceFactor || ratio < 1.0 / kSteadyPaceFactor) return std::nullopt;
  // The solver slows down as it converges: the latest pace is the nearest to
  // the one still to come.
  return (1.0 - fraction_) / *later;
}

std::string describeDuration(double seconds) {
  // Anything beyond a few years reads the same; it also keeps the rounding defined.
  constexpr double kLongest = 1e8;
  const long long total = std::llround(std::isfinite(seconds) ? std::clamp(seconds, 0.0, kLongest) : kLongest);
  if (total < 60) return format("%lld s", total);
  if (total < 3600) return format("%lld min %02lld s", total / 60, total % 60);
  return format("%lld h %02lld min", total / 3600, (total % 3600) / 60);
}

}  // namespace filamorph
