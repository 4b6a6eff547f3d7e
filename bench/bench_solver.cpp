// Speed of the fill-in solver's sweeps on a 512 x 512 model, against the
// plain reference sweep kept with the tests.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <utility>
#include <vector>

#include "BandModel.h"
#include "commands/CommandParameters.h"
#include "reconstruct/FillInSweep.h"
#include "reconstruct/Reconstructor.h"
#include "reconstruct/SweepSchedule.h"
#include "tests/reconstruct/ReferenceSolver.h"

namespace filamorph {
namespace {

constexpr int kSize = 512;

// The band model (the same picture of levels at every size) and its planes as
// the reference sweep takes them.
struct BenchModel {
  Plane<uint8_t> sparseness;
  Plane<uint8_t> depth;
  std::vector<uint8_t> mask;         // 0 or 1, row-major, for the reference
  std::vector<uint8_t> depthLevels;  // row-major
  std::vector<float> start;
};

template <int Size = kSize>
const BenchModel& benchModel() {
  static const BenchModel model = [] {
    BenchModel m;
    BandModel bands = bandModel(Size, 1.0);
    m.sparseness = std::move(bands.sparseness);
    m.depth = std::move(bands.depth);
    m.mask.assign(m.sparseness.data(), m.sparseness.data() + m.sparseness.size());
    m.depthLevels.assign(m.depth.data(), m.depth.data() + m.depth.size());
    for (size_t i = 0; i < m.mask.size(); ++i) m.start.push_back(m.mask[i] != 0 ? m.depthLevels[i] : 128.0f);
    return m;
  }();
  return model;
}

void startWorkPlane(Plane<float>& work) {
  work.allocate(kSize, kSize);
  const std::vector<float>& start = benchModel().start;
  std::copy(start.begin(), start.end(), work.data());
}

// Times are the thread's processor time, so that other work on a shared
// machine does not inflate them.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double secondsSince(double start) {
  return threadSeconds() - start;
}

constexpr double kVisitsPerSweep = static_cast<double>(kSize) * kSize;

void setVisitTime(benchmark::State& state, const char* name, double seconds) {
  state.counters[name] = seconds * 1e9 / (kVisitsPerSweep * static_cast<double>(state.iterations()));
}

SweepPlanes inPlace(Plane<double>& levels, const BenchModel& model) {
  return {levels.data(), levels.data(), model.sparseness.data(), model.depth.data(), levels.rows(), levels.cols()};
}

void startLevels(Plane<double>& levels) {
  levels.allocate(kSize, kSize);
  const std::vector<float>& start = benchModel().start;
  std::copy(start.begin(), start.end(), levels.data());
}

// One sweep per iteration, continuing from the previous one, as the solver
// does, with two or four visits to a vector.
void BM_Sweep512(benchmark::State& state) {
  const SweepVectors vectors = state.range(0) == 4 ? SweepVectors::Quads : SweepVectors::Pairs;
  if (!canSweepWith(vectors)) {
    state.SkipWithError("the processor lacks these vectors");
    return;
  }
  const BenchModel& model = benchModel();
  const SweepCoefficients coefficients = makeSweepCoefficients(
      kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight, kReconstructParameters.relaxation);
  Plane<double> work;
  startLevels(work);
  BandSweeper sweeper(coefficients, kSize, vectors);
  VisitRecord record;
  double seconds = 0.0;
  for (auto _ : state) {
    const auto start = threadSeconds();
    benchmark::DoNotOptimize(sweeper.sweep(inPlace(work, model), record));
    const double elapsed = secondsSince(start);
    state.SetIterationTime(elapsed);
    seconds += elapsed;
  }
  setVisitTime(state, "ns_per_visit", seconds);
}
BENCHMARK(BM_Sweep512)->ArgName("lanes")->Arg(2)->Arg(4)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PlainSweep512(benchmark::State& state) {
  const BenchModel& model = benchModel();
  const reference::Parameters parameters;
  std::vector<float> work = model.start;
  reference::Visit visit;
  double seconds = 0.0;
  for (auto _ : state) {
    const auto start = threadSeconds();
    benchmark::DoNotOptimize(reference::sweep(work, model.mask, model.depthLevels, kSize, kSize, parameters, visit));
    const double elapsed = secondsSince(start);
    state.SetIterationTime(elapsed);
    seconds += elapsed;
  }
  setVisitTime(state, "ns_per_visit", seconds);
}
BENCHMARK(BM_PlainSweep512)->UseManualTime()->Unit(benchmark::kMillisecond);

// Both sweeps on the same values in each iteration: their times per visit
// and how many times faster the solver's sweep is.
void BM_SweepSpeedup512(benchmark::State& state) {
  const BenchModel& model = benchModel();
  const SweepCoefficients coefficients = makeSweepCoefficients(
      kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight, kReconstructParameters.relaxation);
  const reference::Parameters parameters;
  Plane<double> work;
  startLevels(work);
  std::vector<float> plainWork = model.start;
  BandSweeper sweeper(coefficients, kSize);
  VisitRecord record;
  reference::Visit visit;
  double fastSeconds = 0.0;
  double plainSeconds = 0.0;
  for (auto _ : state) {
    auto start = threadSeconds();
    benchmark::DoNotOptimize(sweeper.sweep(inPlace(work, model), record));
    const double fast = secondsSince(start);
    start = threadSeconds();
    benchmark::DoNotOptimize(
        reference::sweep(plainWork, model.mask, model.depthLevels, kSize, kSize, parameters, visit));
    const double plain = secondsSince(start);
    state.SetIterationTime(fast + plain);
    fastSeconds += fast;
    plainSeconds += plain;
  }
  setVisitTime(state, "fast_ns_per_visit", fastSeconds);
  setVisitTime(state, "plain_ns_per_visit", plainSeconds);
  state.counters["plain_over_fast"] = plainSeconds / fastSeconds;
}
BENCHMARK(BM_SweepSpeedup512)->UseManualTime()->Unit(benchmark::kMillisecond);

// The sweeps as the solver runs them, on 1 or 2 threads: a run of sweeps from
// the start values per iteration, timed on the wall clock since both threads
// work. On a shared machine the figure counts time the threads were not
// scheduled, so the minimum over repetitions is the one to read.
void BM_ExactSweeps512(benchmark::State& state) {
  constexpr int kSweepsPerRun = 64;
  const BenchModel& model = benchModel();
  const SweepCoefficients coefficients = makeSweepCoefficients(
      kReconstructParameters.smoothWeight, kReconstructParameters.plateWeight, kReconstructParameters.relaxation);
  const auto threads = static_cast<int32_t>(state.range(0));
  Plane<float> work;
  double seconds = 0.0;
  for (auto _ : state) {
    startWorkPlane(work);
    const auto start = std::chrono::steady_clock::now();
    const SweepOutcome outcome =
        sweepToTolerance(work, model.sparseness, model.depth, coefficients, 0.0f, threads, widestSweepVectors(), {},
                         [](int sweep, float) { return sweep < kSweepsPerRun; });
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(outcome.meanChange);
    state.SetIterationTime(elapsed);
    seconds += elapsed;
  }
  state.counters["ns_per_visit"] =
      seconds * 1e9 / (kVisitsPerSweep * kSweepsPerRun * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ExactSweeps512)->ArgName("threads")->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// A whole reconstruction with the window's parameters, on a smaller model
// (the thin plate needs thousands of sweeps at 512 x 512), on 1 or 2 threads.
// Timed on the wall clock, as BM_ExactSweeps512.
void BM_Solve256(benchmark::State& state) {
  constexpr int kSolveSize = 256;
  const BenchModel& model = benchModel<kSolveSize>();
  Reconstructor reconstructor;
  reconstructor.sweepThreads = static_cast<int32_t>(state.range(0));
  reconstructor.rows = reconstructor.height = kSolveSize;
  reconstructor.cols = reconstructor.width = kSolveSize;
  setReconstructParameters(reconstructor);
  double visits = 0.0;
  double seconds = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    reconstructor.allocateModelPlanes();
    std::copy(model.mask.begin(), model.mask.end(), reconstructor.sparsenessPlane.data());
    std::copy(model.depthLevels.begin(), model.depthLevels.end(), reconstructor.depthPlane.data());
    DitherGenerator generator;
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    reconstructor.solve(generator);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    visits += static_cast<double>(reconstructor.sweepCount) * kSolveSize * kSolveSize;
  }
  state.counters["sweeps"] = reconstructor.sweepCount;
  state.counters["ns_per_visit"] = seconds * 1e9 / visits;
}
BENCHMARK(BM_Solve256)->ArgName("threads")->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace filamorph
