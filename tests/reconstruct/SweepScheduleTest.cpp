// Sweeps shared by two threads: wherever each sweep is cut between them, and
// however the cut moves from one sweep to the next, the results are those of
// one thread bit for bit; the balanced cut moves toward equal part times.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "reconstruct/PartBalance.h"
#include "reconstruct/SolverFixtures.h"
#include "reconstruct/SweepSchedule.h"

namespace filamorph {
namespace {

using testing::bitsOf;
using testing::contents;
using testing::Model;
using testing::randomModel;

Plane<uint8_t> planeOf(const std::vector<uint8_t>& values, int rows, int cols) {
  Plane<uint8_t> plane;
  plane.allocate(rows, cols);
  std::memcpy(plane.data(), values.data(), values.size());
  return plane;
}

struct SweepRun {
  std::vector<uint32_t> work;
  std::vector<uint32_t> means;
  int32_t sweeps = 0;
  uint32_t lastChange = 0;
  uint32_t previousValue = 0;
};

SweepRun sweepModel(const Model& model, int32_t threads, PartCuts* cuts) {
  const Plane<uint8_t> sparseness = planeOf(model.sparseness, model.rows, model.cols);
  const Plane<uint8_t> depth = planeOf(model.depth, model.rows, model.cols);
  Plane<float> work;
  work.allocate(model.rows, model.cols);
  for (std::size_t i = 0; i < model.sparseness.size(); ++i)
    work.data()[i] = model.sparseness[i] != 0 ? static_cast<float>(model.depth[i]) : 128.0f;
  const SweepCoefficients coefficients = makeSweepCoefficients(64.0f, 0.5f, 1.1f);
  SweepRun run;
  const SweepOutcome outcome = sweepToTolerance(
      work, sparseness, depth, coefficients, 0.01f, threads, widestSweepVectors(), {},
      [&](int, float mean) {
        run.means.push_back(bitsOf(mean));
        return true;
      },
      cuts);
  EXPECT_TRUE(outcome.finished);
  run.work = bitsOf(contents(work));
  run.sweeps = outcome.sweeps;
  run.lastChange = bitsOf(outcome.lastVisit.lastChange);
  run.previousValue = bitsOf(outcome.lastVisit.previousValue);
  return run;
}

// Cuts that jump between the edges and the middle from sweep to sweep: each
// part in turn grows and shrinks across the rows the other just wrote.
class JumpingCuts final : public PartCuts {
 public:
  int32_t cutFor(int32_t sweep, int32_t rows, const std::optional<SweepPartTimes>&) override {
    const int32_t choices[] = {2, rows - 2, rows / 2, 3, rows - 3, rows / 3};
    return choices[static_cast<std::size_t>(sweep) % std::size(choices)];
  }
};

TEST(SweepSchedule, AnyCutsGiveTheResultsOfOneThread) {
  for (const auto& [rows, cols] : {std::pair{40, 37}, std::pair{9, 6}, std::pair{4, 12}, std::pair{67, 8}}) {
    SCOPED_TRACE(::testing::Message() << rows << " x " << cols);
    const Model model = randomModel(rows, cols, 0.1, 31u);
    const SweepRun one = sweepModel(model, 1, nullptr);
    ASSERT_GT(one.sweeps, 6);  // long enough for the cuts to go round
    JumpingCuts jumping;
    BalancedPartCuts balanced;
    for (PartCuts* cuts : std::initializer_list<PartCuts*>{&jumping, &balanced}) {
      const SweepRun two = sweepModel(model, 2, cuts);
      EXPECT_EQ(two.sweeps, one.sweeps);
      EXPECT_EQ(two.means, one.means);
      EXPECT_EQ(two.work, one.work);
      EXPECT_EQ(two.lastChange, one.lastChange);
      EXPECT_EQ(two.previousValue, one.previousValue);
    }
  }
}

TEST(PartBalance, MovesTheCutHalfWayTowardEqualTimes) {
  BalancedPartCuts cuts;
  EXPECT_EQ(cuts.cutFor(1, 100, std::nullopt), 50);
  // The lower part took three times as long per row: equal times at 75 rows
  // above the cut; half way from 50 is 62.5.
  EXPECT_EQ(cuts.cutFor(2, 100, SweepPartTimes{50, 1.0, 3.0}), 63);
  // Equal times already: the cut stays.
  EXPECT_EQ(cuts.cutFor(3, 100, SweepPartTimes{63, 2.0, 2.0}), 63);
  // A much slower upper part: the cut goes up, never above row 2.
  EXPECT_EQ(cuts.cutFor(4, 100, SweepPartTimes{3, 1000.0, 1.0}), 2);
  // Never within two rows of the bottom edge.
  EXPECT_EQ(cuts.cutFor(5, 100, SweepPartTimes{97, 1.0, 1000.0}), 98);
  // No time measured: the cut stays; a plane of four rows has one cut.
  EXPECT_EQ(cuts.cutFor(6, 100, SweepPartTimes{40, 0.0, 1.0}), 40);
  EXPECT_EQ(cuts.cutFor(7, 4, SweepPartTimes{2, 1.0, 9.0}), 2);
}

}  // namespace
}  // namespace filamorph
