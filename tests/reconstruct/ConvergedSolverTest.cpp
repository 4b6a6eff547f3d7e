// The converged fill-in: the point at which the clamped sweeps stand still,
// reached in a number of steps that does not grow with the image, and given
// out through the same output stage as the sweeps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "commands/CommandParameters.h"
#include "reconstruct/ConvergedSolver.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/Reconstructor.h"
#include "reconstruct/ReferenceSolver.h"
#include "reconstruct/SolverFixtures.h"

namespace filamorph {
namespace {

using testing::contents;
using testing::loadModel;
using testing::Model;
using testing::randomModel;
using testing::uniformModel;

// The plain clamped sweeps from the usual start, until a sweep changes no
// pixel or `sweeps` have run: float rounding keeps the slowest cases moving
// by a few units in the last place for ever.
std::vector<float> sweepToStandstill(const Model& model, float plateWeight, int sweeps) {
  reference::Parameters parameters;
  parameters.plateWeight = plateWeight;
  std::vector<uint8_t> mask = model.sparseness;
  std::vector<float> work(mask.size());
  for (size_t i = 0; i < mask.size(); ++i) {
    mask[i] = mask[i] != 0 ? 1 : 0;
    work[i] = mask[i] == 1 ? static_cast<float>(model.depth[i]) : 128.0f;
  }
  if (model.rows < 4 || model.cols < 4) return work;
  reference::Visit visit;
  for (int sweep = 0; sweep < sweeps; ++sweep)
    if (reference::sweep(work, mask, model.depth, model.rows, model.cols, parameters, visit) == 0.0f) break;
  return work;
}

std::vector<float> convergedWork(const Model& model, float plateWeight, ConvergedSolveReport& report,
                                 int32_t threads = 0) {
  Reconstructor holder;
  loadModel(holder, model);
  return contents(solveConvergedFillIn(holder.sparsenessPlane, holder.depthPlane, plateWeight, threads, report));
}

float largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
  float largest = 0.0f;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::fabs(a[i] - b[i]));
  return largest;
}

// Samples of 0 and 255 side by side: the thin plate overshoots them, so the
// bounds hold part of the plane.
Model stripedModel(int rows, int cols) {
  Model model = uniformModel(rows, cols, 0, 0);
  for (int r = 0; r < rows; ++r) {
    for (int c : {cols / 3, cols / 3 + 1, 2 * cols / 3, 2 * cols / 3 + 1}) {
      const size_t i = static_cast<size_t>(r) * cols + c;
      model.sparseness[i] = 1;
      model.depth[i] = (c == cols / 3 + 1 || c == 2 * cols / 3) ? 255 : 0;
    }
  }
  return model;
}

// Samples of middle levels with a few short pairs of 0 and 255 far apart:
// each pair makes its own small cluster of overshooting pixels.
Model pairsModel(int rows, int cols) {
  Model model = randomModel(rows, cols, 0.03, 9u);
  for (size_t i = 0; i < model.depth.size(); ++i) model.depth[i] = static_cast<uint8_t>(96 + model.depth[i] / 4);
  for (const auto& [row, col] : {std::pair{8, 9}, std::pair{30, 12}, std::pair{14, 33}}) {
    for (int c = col; c < col + 3; ++c) {
      model.sparseness[static_cast<size_t>(row) * cols + c] = 1;
      model.depth[static_cast<size_t>(row) * cols + c] = 0;
      model.sparseness[static_cast<size_t>(row + 1) * cols + c] = 1;
      model.depth[static_cast<size_t>(row + 1) * cols + c] = 255;
    }
  }
  return model;
}

Model oneSampleModel(int rows, int cols, uint8_t level) {
  Model model = uniformModel(rows, cols, 0, 0);
  const size_t i = static_cast<size_t>(rows / 3) * cols + cols / 2;
  model.sparseness[i] = 1;
  model.depth[i] = level;
  return model;
}

struct StandstillCase {
  const char* name;
  Model model;
  float plateWeight;
  bool boundsHold = false;  // the case is built so that some pixels end at 0 or 255
};

void PrintTo(const StandstillCase& testCase, std::ostream* out) {
  *out << testCase.name;
}

class MatchesStandstill : public ::testing::TestWithParam<StandstillCase> {};

TEST_P(MatchesStandstill, WithinAHundredthOfALevel) {
  const StandstillCase& testCase = GetParam();
  const std::vector<float> expected = sweepToStandstill(testCase.model, testCase.plateWeight, 30000);
  ConvergedSolveReport report;
  const std::vector<float> work = convergedWork(testCase.model, testCase.plateWeight, report);
  EXPECT_LE(largestDifference(work, expected), 0.01f);
  for (const float value : work) ASSERT_TRUE(value >= 0.0f && value <= 255.0f);
  if (testCase.boundsHold) {
    EXPECT_GT(report.boundPixels, 0);
  }
}

// Random samples on squares, strips and the smallest plane; samples whose
// overshoot the bounds must cut; one sample; every pixel a sample; the
// membrane and the thin plate alone. Planes over 400 pixels go through the
// coarse levels, the strips through coarsening along their length only.
INSTANTIATE_TEST_SUITE_P(Cases, MatchesStandstill,
                         ::testing::Values(StandstillCase{"smallest", randomModel(4, 4, 0.3, 1u), 0.5f},
                                           StandstillCase{"direct", randomModel(13, 17, 0.1, 2u), 0.5f},
                                           StandstillCase{"multigrid", randomModel(31, 26, 0.05, 3u), 0.5f},
                                           StandstillCase{"wideStrip", randomModel(5, 90, 0.1, 4u), 0.5f},
                                           StandstillCase{"tallStrip", randomModel(120, 4, 0.1, 5u), 0.5f},
                                           StandstillCase{"boundsHold", stripedModel(24, 30), 0.5f, true},
                                           StandstillCase{"boundsHoldDirect", stripedModel(10, 14), 0.5f, true},
                                           StandstillCase{"boundsHoldInWindows", pairsModel(40, 44), 0.5f, true},
                                           StandstillCase{"oneSample", oneSampleModel(23, 21, 200), 0.5f},
                                           StandstillCase{"everyPixel", randomModel(22, 25, 1.0, 6u), 0.5f},
                                           StandstillCase{"membrane", randomModel(24, 22, 0.05, 7u), 0.0f},
                                           StandstillCase{"thinPlate", randomModel(21, 24, 0.05, 8u), 1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

// Bands of samples along circles, as contours lay them, with smooth levels
// that keep the fill-in clear of the bounds.
Model bandModel(int size) {
  Model model = uniformModel(size, size, 0, 0);
  const double scale = size / 64.0;
  const double circles[][3] = {{20, 22, 12}, {40, 45, 15}, {30, 10, 8}, {50, 20, 10}, {15, 50, 9}};
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      for (const auto& circle : circles) {
        const double distance = std::hypot(r - circle[0] * scale, c - circle[1] * scale);
        if (std::fabs(distance - circle[2] * scale) > 1.5) continue;
        const size_t i = static_cast<size_t>(r) * size + c;
        model.sparseness[i] = 1;
        model.depth[i] = static_cast<uint8_t>(128.0 + 80.0 * std::sin(r * 0.2 / scale) * std::cos(c * 0.3 / scale));
      }
    }
  }
  return model;
}

// The multigrid keeps the step count of the unconstrained solve from growing
// with the image: the same picture at four scales takes about as many steps.
TEST(ConvergedSolver, StepsDoNotGrowWithTheImage) {
  std::vector<int> steps;
  for (const int size : {64, 128, 256, 512}) {
    ConvergedSolveReport report;
    convergedWork(bandModel(size), 0.5f, report);
    SCOPED_TRACE(::testing::Message() << size << " x " << size);
    EXPECT_TRUE(report.reachedTolerance);
    EXPECT_LE(report.relativeResidual, kConvergedTolerance);
    EXPECT_EQ(report.passes, 1);
    steps.push_back(report.iterations);
  }
  EXPECT_LE(*std::max_element(steps.begin(), steps.end()), *std::min_element(steps.begin(), steps.end()) + 4)
      << ::testing::PrintToString(steps);
  EXPECT_LE(steps.back(), 25);
}

// The rows are shared between threads in fixed blocks and every sum is added
// block by block in order: a second thread changes nothing, bit for bit,
// also when pixels are held at the bounds, and when separate windows around
// clusters of them are settled on both threads.
TEST(ConvergedSolver, SameResultOnOneAndTwoThreads) {
  for (const Model& model : {bandModel(256), stripedModel(120, 130), pairsModel(40, 44)}) {
    ConvergedSolveReport one;
    ConvergedSolveReport two;
    const std::vector<float> alone = convergedWork(model, 0.5f, one, 1);
    EXPECT_EQ(convergedWork(model, 0.5f, two, 2), alone);
    EXPECT_EQ(two.iterations, one.iterations);
    EXPECT_EQ(two.passes, one.passes);
  }
}

// The result is the constrained minimiser by its optimality conditions, for
// planes far too large for the reference sweeps: a free pixel meets its own
// equation, and a held one would raise the energy by moving inside the bounds.
void expectConstrainedMinimiser(const Model& model, float plateWeight, const std::vector<float>& work) {
  const PaddedGrid grid{model.rows, model.cols};
  std::vector<uint8_t> states(grid.cellCount(), 0);
  std::vector<uint8_t> levels(grid.cellCount(), 0);
  std::vector<double> u(grid.cellCount(), 0.0);
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      const auto i =
          static_cast<std::size_t>(row) * static_cast<std::size_t>(grid.cols) + static_cast<std::size_t>(col);
      const auto cell = static_cast<std::size_t>(grid.at(row, col));
      if (model.sparseness[i] != 0) {
        states[cell] = FineOperator::kSample;
        levels[cell] = model.depth[i];
      }
      u[cell] = work[i];
    }
  }
  const FineOperator op(grid, plateWeight, std::move(states), std::move(levels));
  double worstFree = 0.0;
  double worstHeld = 0.0;
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      const std::ptrdiff_t cell = grid.at(row, col);
      // How far the pixel's own equation would move it, in levels.
      const double pull = (op.dataTerm(cell) - op.product(row, col, u.data())) / op.diagonal(row, col);
      const double value = u[static_cast<std::size_t>(cell)];
      if (value <= 0.0)
        worstHeld = std::max(worstHeld, pull);
      else if (value >= 255.0)
        worstHeld = std::max(worstHeld, -pull);
      else
        worstFree = std::max(worstFree, std::fabs(pull));
    }
  }
  EXPECT_LE(worstFree, 0.01);
  EXPECT_LE(worstHeld, 0.01);
}

// Extreme samples at random hold thousands of pixels, more than the coarse
// levels are coarsened again for: the result is the constrained minimiser all
// the same.
TEST(ConvergedSolver, ManyHeldPixelsEndAtTheConstrainedMinimiser) {
  Model model = randomModel(160, 200, 0.1, 9u);
  for (uint8_t& level : model.depth) level = level < 128 ? 0 : 255;
  ConvergedSolveReport report;
  const std::vector<float> work = convergedWork(model, 0.5f, report);
  ASSERT_GT(report.boundPixels, 1000);
  EXPECT_TRUE(report.settled);
  EXPECT_TRUE(report.reachedTolerance);
  expectConstrainedMinimiser(model, 0.5f, work);
}

// A strip long enough for eight levels, whose small levels are visited twice
// per visit of the level above, with some extreme samples to hold pixels: the
// constrained minimiser, the same on one thread and two. The second visits
// take it from 51 steps to 32; a wrong second visit takes more than with none.
TEST(ConvergedSolver, DeepHierarchyEndsAtTheConstrainedMinimiser) {
  Model model = randomModel(6, 16384, 0.01, 13u);
  for (std::size_t i = 0; i < model.depth.size(); i += 7) model.depth[i] = model.depth[i] < 128 ? 0 : 255;
  ConvergedSolveReport report;
  const std::vector<float> work = convergedWork(model, 0.5f, report, 2);
  ASSERT_GE(report.levels, 8);
  EXPECT_LE(report.iterations, 40);
  EXPECT_GT(report.boundPixels, 0);
  EXPECT_TRUE(report.reachedTolerance);
  expectConstrainedMinimiser(model, 0.5f, work);
  ConvergedSolveReport oneThread;
  EXPECT_EQ(convergedWork(model, 0.5f, oneThread, 1), work);
}

// Samples all at level 0 make the data term 0: the minimiser is 0, found
// without a step, where a tolerance relative to the data term could never be
// met.
TEST(ConvergedSolver, SamplesAllAtZeroFillWithZero) {
  Model model = randomModel(11, 249, 0.02, 21u);
  for (uint8_t& level : model.depth) level = 0;
  ConvergedSolveReport report;
  const std::vector<float> work = convergedWork(model, 0.5f, report);
  EXPECT_EQ(work, std::vector<float>(work.size(), 0.0f));
  EXPECT_EQ(report.iterations, 0);
  EXPECT_EQ(report.relativeResidual, 0.0);
}

// The output stage is the sweeps' own: the work plane of the converged
// fill-in is dithered from the same generator in the same order and
// truncated, sample pixels untouched; a model without samples gives what the
// sweeps give.
TEST(ConvergedSolver, OutputIsMadeAsTheSweepsMakeIt) {
  const Model model = randomModel(19, 23, 0.1, 12u);
  ConvergedSolveReport report;
  const std::vector<float> solved = convergedWork(model, 0.5f, report);

  Reconstructor reconstructor;
  loadModel(reconstructor, model);
  setReconstructParameters(reconstructor);
  reconstructor.meanChange = 3.0f;
  DitherGenerator generator;
  generator.state = 777u;
  DitherGenerator draws = generator;
  reconstructor.solveConverged(generator);

  std::vector<float> dithered = solved;
  std::vector<uint8_t> gray(solved.size());
  for (size_t i = 0; i < solved.size(); ++i) {
    if (model.sparseness[i] == 0) {
      const float value = draws.next() % 2 == 1 ? solved[i] + 0.5f : solved[i] - 0.5f;
      dithered[i] = std::clamp(value, 0.0f, 255.0f);
    }
    gray[i] = static_cast<uint8_t>(dithered[i]);
  }
  EXPECT_EQ(contents(reconstructor.workPlane), dithered);
  EXPECT_EQ(contents(reconstructor.grayPlane), gray);
  EXPECT_EQ(generator.state, draws.state);
  EXPECT_EQ(reconstructor.meanChange, 0.0f);
  EXPECT_EQ(reconstructor.sweepCount, 0);

  // Without samples, and on planes too small to solve (with samples), the
  // sweeps leave the start values; so does the converged fill-in.
  for (const Model& start : {uniformModel(7, 9, 0, 0), uniformModel(30, 30, 0, 0), randomModel(3, 10, 0.4, 13u),
                             randomModel(10, 3, 0.4, 14u)}) {
    SCOPED_TRACE(::testing::Message() << start.rows << " x " << start.cols);
    Reconstructor exact;
    Reconstructor converged;
    for (Reconstructor* r : {&exact, &converged}) {
      loadModel(*r, start);
      setReconstructParameters(*r);
    }
    DitherGenerator exactGenerator;
    DitherGenerator convergedGenerator;
    ASSERT_TRUE(exact.solve(exactGenerator));
    converged.solveConverged(convergedGenerator);
    EXPECT_EQ(contents(converged.workPlane), contents(exact.workPlane));
    EXPECT_EQ(contents(converged.grayPlane), contents(exact.grayPlane));
    EXPECT_EQ(convergedGenerator.state, exactGenerator.state);
  }
}

}  // namespace
}  // namespace filamorph
