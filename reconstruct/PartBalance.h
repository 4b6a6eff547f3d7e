#ifndef FILAMORPH_RECONSTRUCT_PARTBALANCE_H
#define FILAMORPH_RECONSTRUCT_PARTBALANCE_H
// Where two threads cut each fill-in sweep between them, moved toward equal times of the two parts.

#include <cstdint>
#include <optional>

namespace filamorph {

// The two parts of one sweep: where it was cut, and how long each took.
struct SweepPartTimes {
  int32_t cut = 0;  // the first row of the lower part
  double upperSeconds = 0.0;
  double lowerSeconds = 0.0;
};

// Chooses the cut of each sweep that two threads share: rows [0, cut) on
// one thread, the rest on the other. Results never depend on the cut; only
// the time does, as the two processors need not be equally fast.
class PartCuts {
 public:
  virtual ~PartCuts() = default;
  // The cut of `sweep` (1-based) of a plane of `rows` (>= 4) rows, in
  // [2, rows - 2]. `latest`: the times of the latest sweep whose two parts
  // both finished, if any.
  virtual int32_t cutFor(int32_t sweep, int32_t rows, const std::optional<SweepPartTimes>& latest) = 0;
};

// Cuts at half the rows, then moves the cut half way toward where the two
// parts, at the time per row each took last, would take equal times.
class BalancedPartCuts final : public PartCuts {
 public:
  int32_t cutFor(int32_t sweep, int32_t rows, const std::optional<SweepPartTimes>& latest) override;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_PARTBALANCE_H
