// The solve's progress toward its tolerance: a fraction that never moves back
// and reaches 1 at the tolerance, and a time estimate only on a steady pace.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "commands/ConvergenceProgress.h"

namespace filamorph::testing {
namespace {

constexpr float kTolerance = 0.0005f;

TEST(ConvergenceProgressTest, FractionClimbsOnALogScaleNeverMovesBackAndReachesOneAtTheTolerance) {
  ConvergenceProgress progress(kTolerance);
  EXPECT_EQ(progress.fraction(), 0.0);
  // From 0.5 down to the tolerance, a factor 1000: each step of 10 is a third.
  const struct {
    float meanChange;
    double fraction;
  } steps[] = {
      {0.5f, 0.0},                             // the first sweep is the start of the scale
      {0.9f, 0.0},                             // a rise above the start does not go below 0
      {0.05f, 1.0 / 3.0},  {0.2f, 1.0 / 3.0},  // a sweep that changes more keeps the fraction
      {0.005f, 2.0 / 3.0}, {kTolerance, 1.0},  // the tolerance itself is the end
      {0.01f, 1.0},
  };
  int sweep = 0;
  for (const auto& step : steps) {
    ++sweep;
    progress.addSweep(sweep, step.meanChange, sweep * 0.1);
    EXPECT_NEAR(progress.fraction(), step.fraction, 1e-6) << "sweep " << sweep;
  }
  EXPECT_EQ(progress.sweep(), 7);
  EXPECT_EQ(progress.meanChange(), 0.01f);
  EXPECT_EQ(progress.remainingSeconds(), 0.0);
}

TEST(ConvergenceProgressTest, DegenerateMeanChangesKeepTheFractionInRange) {
  const struct {
    const char* name;
    float first;
    float second;
    double fraction;
  } cases[] = {
      {"first sweep below the tolerance", 0.0001f, 0.2f, 1.0},
      {"no change at all", 0.0f, 0.0f, 1.0},
      {"not a number is ignored", 0.5f, std::numeric_limits<float>::quiet_NaN(), 0.0},
      {"infinite change is no progress", 0.5f, std::numeric_limits<float>::infinity(), 0.0},
  };
  for (const auto& c : cases) {
    ConvergenceProgress progress(kTolerance);
    progress.addSweep(1, c.first, 0.1);
    progress.addSweep(2, c.second, 0.2);
    EXPECT_EQ(progress.fraction(), c.fraction) << c.name;
  }
}

TEST(ConvergenceProgressTest, EstimatesTheRemainingTimeOnlyOnceThePaceIsSteady) {
  ConvergenceProgress progress(kTolerance);
  // A geometric fall by a factor 0.9 per sweep at 0.1 s per sweep: from 1 to
  // the tolerance takes log(0.0005) / log(0.9) = 72.1 sweeps, 7.21 s.
  for (int sweep = 1; sweep <= 7; ++sweep) {
    progress.addSweep(sweep, static_cast<float>(std::pow(0.9, sweep - 1)), sweep * 0.1);
    EXPECT_FALSE(progress.remainingSeconds()) << "too early at sweep " << sweep;
  }
  for (int sweep = 8; sweep <= 30; ++sweep)
    progress.addSweep(sweep, static_cast<float>(std::pow(0.9, sweep - 1)), sweep * 0.1);
  ASSERT_TRUE(progress.remainingSeconds());
  EXPECT_NEAR(*progress.remainingSeconds(), 7.31 - 3.0, 0.05);

  // The pace breaks down: a long run of sweeps that gain nothing.
  for (int sweep = 31; sweep <= 60; ++sweep) progress.addSweep(sweep, 0.5f, sweep * 0.1);
  EXPECT_FALSE(progress.remainingSeconds());
}

TEST(ConvergenceProgressTest, DurationsReadAsSecondsMinutesOrHours) {
  EXPECT_EQ(describeDuration(0.4), "0 s");
  EXPECT_EQ(describeDuration(59.4), "59 s");
  EXPECT_EQ(describeDuration(125.0), "2 min 05 s");
  EXPECT_EQ(describeDuration(4200.0), "1 h 10 min");
  EXPECT_EQ(describeDuration(-3.0), "0 s");
  EXPECT_EQ(describeDuration(std::numeric_limits<double>::infinity()), "27777 h 46 min");
}

}  // namespace
}  // namespace filamorph::testing
