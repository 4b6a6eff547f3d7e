// The fill-in solver: bit-identical to the plain reference, and the cases in
// which its result is known exactly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "commands/CommandParameters.h"
#include "reconstruct/ReferenceSolver.h"
#include "reconstruct/SolverFixtures.h"

namespace filamorph {
namespace {

using testing::bitsOf;
using testing::contents;
using testing::loadModel;
using testing::Model;
using testing::randomModel;
using testing::setParameters;
using testing::uniformModel;

struct ReferenceCase {
  const char* name;
  int rows;
  int cols;
  double sampleShare;
  reference::Parameters parameters;
};

void PrintTo(const ReferenceCase& testCase, std::ostream* out) {
  *out << testCase.name << " " << testCase.rows << " x " << testCase.cols;
}

// Every case runs with the sweeps on one thread and on two, with each width of
// vector the processor has.
class MatchesReference : public ::testing::TestWithParam<std::tuple<ReferenceCase, int, SweepVectors>> {};

TEST_P(MatchesReference, BitForBit) {
  const auto& [testCase, threads, vectors] = GetParam();
  if (!canSweepWith(vectors)) GTEST_SKIP() << "the processor lacks these vectors";
  const Model model = randomModel(testCase.rows, testCase.cols, testCase.sampleShare, 7u + testCase.rows);

  DitherGenerator referenceGenerator;
  referenceGenerator.state = 12345u;
  const reference::Result expected =
      reference::solve(model.sparseness, model.depth, model.rows, model.cols, testCase.parameters, referenceGenerator);

  Reconstructor reconstructor;
  loadModel(reconstructor, model);
  setParameters(reconstructor, testCase.parameters);
  reconstructor.sweepThreads = threads;
  reconstructor.sweepVectors = vectors;
  DitherGenerator generator;
  generator.state = 12345u;
  std::vector<float> sweepMeans;
  const std::thread::id caller = std::this_thread::get_id();
  const bool finished = reconstructor.solve(generator, [&](int sweep, float mean) {
    EXPECT_EQ(sweep, static_cast<int>(sweepMeans.size()) + 1);
    EXPECT_EQ(std::this_thread::get_id(), caller);
    sweepMeans.push_back(mean);
    return true;
  });

  ASSERT_TRUE(finished);
  ASSERT_GT(expected.sweepMeans.size(), 1u) << "the case should need several sweeps";
  EXPECT_EQ(bitsOf(sweepMeans), bitsOf(expected.sweepMeans));
  EXPECT_EQ(reconstructor.sweepCount, static_cast<int>(expected.sweepMeans.size()));
  EXPECT_EQ(bitsOf(reconstructor.meanChange), bitsOf(expected.meanChange));
  EXPECT_EQ(bitsOf(contents(reconstructor.workPlane)), bitsOf(expected.work));
  EXPECT_EQ(contents(reconstructor.grayPlane), expected.gray);
  EXPECT_EQ(contents(reconstructor.sparsenessPlane), expected.mask);
  EXPECT_EQ(contents(reconstructor.depthPlane), model.depth);
  EXPECT_EQ(generator.state, referenceGenerator.state);
  EXPECT_EQ(bitsOf(reconstructor.lastChange), bitsOf(expected.lastVisit.lastChange));
  EXPECT_EQ(bitsOf(reconstructor.pixelDiagonal), bitsOf(expected.lastVisit.pixelDiagonal));
  EXPECT_EQ(bitsOf(reconstructor.previousValue), bitsOf(expected.lastVisit.previousValue));
  EXPECT_EQ(reconstructor.grayPlaneAllocated, 1);
  EXPECT_EQ(reconstructor.ownsWorkPlane, 1);
}

reference::Parameters withRelaxation(float relaxation, float smoothWeight) {
  reference::Parameters parameters;
  parameters.relaxation = relaxation;
  parameters.smoothWeight = smoothWeight;
  return parameters;
}

reference::Parameters withPlateWeight(float plateWeight) {
  reference::Parameters parameters;
  parameters.plateWeight = plateWeight;
  return parameters;
}

// Square, tall and wide planes from the smallest that is swept, the window's
// parameters, pure membrane and pure thin plate, and a strong over-relaxation
// that drives values past 0 and 255 into the clamp. The strips and "bands"
// give the sweeps many bands of rows, whole and cut short, with and without
// columns where every row of a band is inner, so that the second thread's
// sweep trails the first over many rows; in "mixed" the last band's rows do
// not fill a whole number of the widest vectors.
INSTANTIATE_TEST_SUITE_P(
    Cases, MatchesReference,
    ::testing::Combine(::testing::Values(ReferenceCase{"square4", 4, 4, 0.3, {}}, ReferenceCase{"wide4", 4, 9, 0.3, {}},
                                         ReferenceCase{"tall4", 9, 4, 0.3, {}}, ReferenceCase{"square5", 5, 5, 0.2, {}},
                                         ReferenceCase{"wide", 6, 13, 0.15, {}}, ReferenceCase{"tall", 13, 6, 0.15, {}},
                                         ReferenceCase{"larger", 24, 31, 0.1, {}},
                                         ReferenceCase{"membrane", 17, 19, 0.2, withPlateWeight(0.0f)},
                                         ReferenceCase{"thinPlate", 19, 17, 0.2, withPlateWeight(1.0f)},
                                         ReferenceCase{"clamped", 12, 14, 0.3, withRelaxation(1.95f, 500.0f)},
                                         ReferenceCase{"allSamples", 10, 12, 1.0, {}},
                                         ReferenceCase{"tallStrip", 61, 5, 0.1, {}},
                                         ReferenceCase{"wideStrip", 5, 61, 0.1, {}},
                                         ReferenceCase{"bands", 44, 37, 0.05, {}},
                                         ReferenceCase{"mixed", 26, 29, 0.1, {}}),
                       ::testing::Values(1, 2), ::testing::Values(SweepVectors::Pairs, SweepVectors::Quads)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_threads" + std::to_string(std::get<1>(info.param)) +
             (std::get<2>(info.param) == SweepVectors::Quads ? "_quads" : "_pairs");
    });

// Two threads stop at the same sweep as the plain solver, whether the last
// sweep wrote the first plane or the second: a tolerance just above a
// sweep's mean change makes it, or an earlier sweep, the last.
TEST(Solver, TwoThreadSweepsStopWhereThePlainSweepsStop) {
  const Model model = randomModel(37, 41, 0.1, 21u);
  reference::Parameters parameters;
  parameters.tolerance = 0.0f;
  DitherGenerator unused;
  // The means of the first eight sweeps, from a solve cancelled after them.
  std::vector<float> means;
  {
    Reconstructor probe;
    loadModel(probe, model);
    setParameters(probe, parameters);
    probe.solve(unused, [&](int sweep, float mean) {
      means.push_back(mean);
      return sweep < 8;
    });
  }
  ASSERT_EQ(means.size(), 8u);
  std::vector<int> lastSweeps;
  for (const float mean : means) {
    parameters.tolerance = std::nextafter(mean, 1000.0f);
    DitherGenerator referenceGenerator;
    const reference::Result expected =
        reference::solve(model.sparseness, model.depth, model.rows, model.cols, parameters, referenceGenerator);
    Reconstructor reconstructor;
    loadModel(reconstructor, model);
    setParameters(reconstructor, parameters);
    reconstructor.sweepThreads = 2;
    DitherGenerator generator;
    ASSERT_TRUE(reconstructor.solve(generator));
    SCOPED_TRACE(::testing::Message() << "tolerance " << parameters.tolerance);
    EXPECT_EQ(reconstructor.sweepCount, static_cast<int>(expected.sweepMeans.size()));
    EXPECT_EQ(bitsOf(reconstructor.meanChange), bitsOf(expected.meanChange));
    EXPECT_EQ(bitsOf(contents(reconstructor.workPlane)), bitsOf(expected.work));
    EXPECT_EQ(bitsOf(reconstructor.previousValue), bitsOf(expected.lastVisit.previousValue));
    EXPECT_EQ(bitsOf(reconstructor.lastChange), bitsOf(expected.lastVisit.lastChange));
    lastSweeps.push_back(reconstructor.sweepCount);
  }
  // Sweeps of both parities were the last at least once.
  EXPECT_TRUE(std::ranges::any_of(lastSweeps, [](int sweeps) { return sweeps % 2 == 1; }));
  EXPECT_TRUE(std::ranges::any_of(lastSweeps, [](int sweeps) { return sweeps % 2 == 0; }));
}

// No sample at all: every pixel starts at 128 and the first sweep leaves it
// there; the output is 128 or, dithered, 128 after an odd draw and 127 after
// an even one. Model planes never made (or of another size) are such a model.
// Two threads: the upper part of the second sweep, already begun, is dropped.
TEST(Solver, ModelWithoutSamplesGivesMidGray) {
  for (const bool modelPlanesMade : {true, false}) {
    for (const uint8_t dither : {uint8_t{0}, uint8_t{1}}) {
      SCOPED_TRACE(::testing::Message() << "planes made " << modelPlanesMade << ", dither " << int{dither});
      Reconstructor reconstructor;
      reconstructor.sweepThreads = 2;
      if (modelPlanesMade) {
        loadModel(reconstructor, uniformModel(7, 9, 0, 0));
      } else {
        reconstructor.rows = reconstructor.height = 7;
        reconstructor.cols = reconstructor.width = 9;
      }
      reconstructor.setSolverParameters(kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight,
                                        kReconstructParameters.relaxation, kReconstructParameters.tolerance, dither);
      DitherGenerator generator;
      DitherGenerator draws = generator;
      ASSERT_TRUE(reconstructor.solve(generator));
      EXPECT_EQ(reconstructor.sweepCount, 1);
      EXPECT_EQ(reconstructor.meanChange, 0.0f);
      ASSERT_EQ(reconstructor.grayPlane.rows(), 7);
      ASSERT_EQ(reconstructor.grayPlane.cols(), 9);
      for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 9; ++c)
          ASSERT_EQ(reconstructor.grayPlane[r][c], dither == 0 || draws.next() % 2 == 1 ? 128 : 127);
      EXPECT_EQ(generator.state, draws.state);
    }
  }
}

// Every pixel a sample of one level: each equation holds at the start, so the
// level comes out exactly, at every place of every molecule class, and no
// dither is drawn.
TEST(Solver, UniformSamplesComeOutExactly) {
  for (const auto& [rows, cols] :
       {std::pair{4, 4}, std::pair{5, 5}, std::pair{4, 11}, std::pair{11, 4}, std::pair{16, 23}}) {
    for (const int level : {0, 1, 127, 200, 255}) {
      SCOPED_TRACE(::testing::Message() << rows << " x " << cols << " at " << level);
      Reconstructor reconstructor;
      loadModel(reconstructor, uniformModel(rows, cols, 255, static_cast<uint8_t>(level)));
      setReconstructParameters(reconstructor);
      DitherGenerator generator;
      ASSERT_TRUE(reconstructor.solve(generator));
      EXPECT_EQ(reconstructor.sweepCount, 1);
      EXPECT_EQ(generator.state, 1u);
      EXPECT_EQ(contents(reconstructor.workPlane),
                std::vector<float>(static_cast<size_t>(rows) * cols, static_cast<float>(level)));
      EXPECT_EQ(contents(reconstructor.grayPlane), std::vector<uint8_t>(static_cast<size_t>(rows) * cols, level));
      EXPECT_EQ(contents(reconstructor.sparsenessPlane), std::vector<uint8_t>(static_cast<size_t>(rows) * cols, 1));
    }
  }
}

// The sweeps go on while the mean change is at least the tolerance.
TEST(Solver, SweepAtExactlyTheToleranceIsFollowedByAnother) {
  const Model model = randomModel(8, 10, 0.2, 3u);
  const auto sweepsWithTolerance = [&](float tolerance) {
    Reconstructor reconstructor;
    loadModel(reconstructor, model);
    reconstructor.setSolverParameters(kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight,
                                      kReconstructParameters.relaxation, tolerance, 0);
    DitherGenerator generator;
    EXPECT_TRUE(reconstructor.solve(generator));
    return std::pair{reconstructor.sweepCount, reconstructor.meanChange};
  };
  const auto [oneSweep, firstMean] = sweepsWithTolerance(std::numeric_limits<float>::infinity());
  ASSERT_EQ(oneSweep, 1);
  ASSERT_GT(firstMean, 0.0f);
  EXPECT_EQ(sweepsWithTolerance(std::nextafter(firstMean, 1000.0f)).first, 1);
  EXPECT_GT(sweepsWithTolerance(firstMean).first, 1);
}

struct Snapshot {
  int32_t rows, cols;
  std::vector<uint8_t> gray, sparseness, depth;
  std::vector<uint32_t> work;
  const void* grayBlock;
  const void* workBlock;
  uint32_t meanChange, lastChange, pixelDiagonal, previousValue;
  int32_t sweepCount;
  uint8_t grayPlaneAllocated, ownsWorkPlane;
  uint32_t generatorState;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Reconstructor& r, const DitherGenerator& generator) {
  return {r.rows,
          r.cols,
          contents(r.grayPlane),
          contents(r.sparsenessPlane),
          contents(r.depthPlane),
          bitsOf(contents(r.workPlane)),
          r.grayPlane.data(),
          r.workPlane.data(),
          bitsOf(r.meanChange),
          bitsOf(r.lastChange),
          bitsOf(r.pixelDiagonal),
          bitsOf(r.previousValue),
          r.sweepCount,
          r.grayPlaneAllocated,
          r.ownsWorkPlane,
          generator.state};
}

// A cancelled solve leaves the object and the generator as they were, the
// sparseness marks included; the next full solve then runs as usual and makes
// the gray plane anew for the new size. With two threads the cancel comes
// while a part of the next sweep may be running, which is abandoned.
TEST(Solver, CancelledSolveChangesNothing) {
  for (const int threads : {1, 2}) {
    for (const int cancellingSweep : {1, 2, 3}) {
      SCOPED_TRACE(::testing::Message() << threads << " threads, cancelled at sweep " << cancellingSweep);
      Reconstructor reconstructor;
      reconstructor.sweepThreads = threads;
      DitherGenerator generator;
      loadModel(reconstructor, randomModel(8, 10, 0.2, 5u));
      setReconstructParameters(reconstructor);
      ASSERT_TRUE(reconstructor.solve(generator));

      loadModel(reconstructor, randomModel(9, 7, 0.2, 6u));
      const Snapshot before = snapshot(reconstructor, generator);
      std::vector<int> observed;
      const bool finished = reconstructor.solve(generator, [&](int sweep, float) {
        observed.push_back(sweep);
        return sweep < cancellingSweep;
      });
      EXPECT_FALSE(finished);
      std::vector<int> expected(static_cast<size_t>(cancellingSweep));
      std::iota(expected.begin(), expected.end(), 1);
      EXPECT_EQ(observed, expected);
      EXPECT_TRUE(snapshot(reconstructor, generator) == before);

      ASSERT_TRUE(reconstructor.solve(generator));
      EXPECT_EQ(reconstructor.grayPlane.rows(), 9);
      EXPECT_EQ(reconstructor.grayPlane.cols(), 7);
    }
  }
}

// Each run starts again from the model planes, not from the last result, and
// a gray plane of the right size is reused.
TEST(Solver, RepeatedSolveStartsFromTheModel) {
  Reconstructor reconstructor;
  loadModel(reconstructor, randomModel(11, 9, 0.15, 9u));
  reconstructor.setSolverParameters(kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight,
                                    kReconstructParameters.relaxation, kReconstructParameters.tolerance, 0);
  DitherGenerator generator;
  ASSERT_TRUE(reconstructor.solve(generator));
  const std::vector<uint32_t> firstWork = bitsOf(contents(reconstructor.workPlane));
  const std::vector<uint8_t> firstGray = contents(reconstructor.grayPlane);
  const int firstSweeps = reconstructor.sweepCount;
  const uint8_t* const grayBlock = reconstructor.grayPlane.data();

  ASSERT_TRUE(reconstructor.solve(generator));
  EXPECT_EQ(bitsOf(contents(reconstructor.workPlane)), firstWork);
  EXPECT_EQ(contents(reconstructor.grayPlane), firstGray);
  EXPECT_EQ(reconstructor.sweepCount, firstSweeps);
  EXPECT_EQ(reconstructor.grayPlane.data(), grayBlock);
}

// Planes under 4 x 4 are not swept: samples keep their level, every other
// pixel is 128 with the usual dither.
TEST(Solver, PlanesTooSmallForTheMoleculesAreNotSwept) {
  for (const auto& [rows, cols] :
       {std::pair{3, 3}, std::pair{3, 10}, std::pair{10, 3}, std::pair{1, 1}, std::pair{0, 5}, std::pair{0, 0}}) {
    SCOPED_TRACE(::testing::Message() << rows << " x " << cols);
    const Model model = randomModel(rows, cols, 0.4, 11u);
    Reconstructor reconstructor;
    reconstructor.sweepThreads = 2;
    loadModel(reconstructor, model);
    setReconstructParameters(reconstructor);
    reconstructor.meanChange = 7.0f;
    DitherGenerator generator;
    DitherGenerator draws = generator;
    ASSERT_TRUE(reconstructor.solve(generator, [](int, float) {
      ADD_FAILURE() << "no sweep expected";
      return true;
    }));
    EXPECT_EQ(reconstructor.sweepCount, 0);
    EXPECT_EQ(reconstructor.meanChange, 0.0f);
    ASSERT_EQ(reconstructor.grayPlane.rows(), rows);
    ASSERT_EQ(reconstructor.grayPlane.cols(), cols);
    for (size_t i = 0; i < model.depth.size(); ++i) {
      const uint8_t expected = model.sparseness[i] != 0 ? model.depth[i] : draws.next() % 2 == 1 ? 128 : 127;
      ASSERT_EQ(reconstructor.grayPlane.data()[i], expected) << "pixel " << i;
    }
    EXPECT_EQ(generator.state, draws.state);
  }
}

}  // namespace
}  // namespace filamorph
