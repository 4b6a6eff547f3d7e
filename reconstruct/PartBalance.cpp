#include "reconstruct/PartBalance.h"

#include <algorithm>
#include <cmath>

namespace filamorph {

int32_t BalancedPartCuts::cutFor(int32_t /*sweep*/, int32_t rows, const std::optional<SweepPartTimes>& latest) {
  const int32_t lowest = 2;
  const int32_t highest = std::max(rows - 2, lowest);
  const int32_t half = std::clamp(rows / 2, lowest, highest);
  if (!latest || latest->cut < lowest || latest->cut > highest) return half;
  // Both parts hold at least two rows; a part without a measurable time
  // (a clock too coarse, or stopped) gives no rate to balance.
  if (!(latest->upperSeconds > 0.0) || !(latest->lowerSeconds > 0.0)) return latest->cut;
  const double upperPerRow = latest->upperSeconds / latest->cut;
  const double lowerPerRow = latest->lowerSeconds / (rows - latest->cut);
  const double balanced = rows * lowerPerRow / (upperPerRow + lowerPerRow);
  const double next = 0.5 * (latest->cut + balanced);
  return std::clamp(static_cast<int32_t>(std::lround(next)), lowest, highest);
}

}  // namespace filamorph
