#include "reconstruct/SweepSchedule.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

namespace filamorph {

namespace {

// Below these the second sweep would mostly wait for the first.
constexpr int32_t kMinRowsForOverlap = 32;
constexpr int64_t kMinPixelsForOverlap = 128 * 128;

// Spinning catches the other sweep's next band without a system call; after
// that the thread gives way, which matters when the cores are shared.
constexpr int kSpinsBeforeYield = 2000;

bool keepsSweeping(float meanChange, float tolerance) {
  return meanChange >= tolerance;
}

SweepPlanes planesOf(const double* source, double* target, const Plane<uint8_t>& sparseness,
                     const Plane<uint8_t>& depth) {
  return {source, target, sparseness.data(), depth.data(), sparseness.rows(), sparseness.cols()};
}

// The levels as the sweeps hold them; every value is a float, so the copies
// both ways are exact.
Plane<double> widened(const Plane<float>& work) {
  Plane<double> levels;
  levels.allocate(work.rows(), work.cols());
  std::copy(work.data(), work.data() + work.size(), levels.data());
  return levels;
}

void narrowInto(Plane<float>& work, const Plane<double>& levels) {
  std::transform(levels.data(), levels.data() + levels.size(), work.data(),
                 [](double level) { return static_cast<float>(level); });
}

SweepOutcome sweepInPlace(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                          const SweepCoefficients& coefficients, float tolerance, SweepVectors vectors,
                          VisitRecord lastVisit, const SweepObserver& observer) {
  Plane<double> levels = widened(work);
  BandSweeper sweeper(coefficients, work.cols(), vectors);
  const SweepPlanes planes = planesOf(levels.data(), levels.data(), sparseness, depth);
  SweepOutcome outcome;
  outcome.lastVisit = lastVisit;
  do {
    outcome.meanChange = *sweeper.sweep(planes, outcome.lastVisit);
    ++outcome.sweeps;
    if (observer && !observer(outcome.sweeps, outcome.meanChange)) return outcome;
  } while (keepsSweeping(outcome.meanChange, tolerance));
  narrowInto(work, levels);
  outcome.finished = true;
  return outcome;
}

// What the two threads share. Sweep j writes plane j mod 2 and reads the
// values of sweep j - 1 from the other plane; the start values count as
// sweep 0. Odd sweeps run on the calling thread, even ones on the helper.
class OverlappedSweeps {
 public:
  OverlappedSweeps(Plane<double>& levels, Plane<double>& spare, const Plane<uint8_t>& sparseness,
                   const Plane<uint8_t>& depth, const SweepCoefficients& coefficients, float tolerance,
                   SweepVectors vectors)
      : planes_{&levels, &spare},
        sparseness_(sparseness),
        depth_(depth),
        coefficients_(coefficients),
        tolerance_(tolerance),
        vectors_(vectors),
        rows_(levels.rows()) {
    progress_[0].store(progressMark(0, rows_), std::memory_order_relaxed);
    progress_[1].store(0, std::memory_order_relaxed);
    for (auto& tag : meanTags_) tag.store(0, std::memory_order_relaxed);
  }

  // The calling thread's share; reports every sweep in order and decides
  // which sweep is the last.
  SweepOutcome runOddSweeps(VisitRecord lastVisit, const SweepObserver& observer) {
    BandSweeper sweeper(coefficients_, planes_[0]->cols(), vectors_);
    SweepOutcome outcome;
    outcome.lastVisit = lastVisit;
    const auto report = [&](int32_t sweep, float meanChange) { return !observer || observer(sweep, meanChange); };
    for (int32_t sweep = 1;; sweep += 2) {
      // Only this thread stops the sweeps, so its own sweep always finishes.
      const float meanChange = *runSweep(sweeper, sweep, outcome.lastVisit);
      publishMean(sweep, meanChange);
      if (sweep > 1) {
        const float before = *awaitMean(sweep - 1);
        if (!report(sweep - 1, before)) return outcome;
        if (!keepsSweeping(before, tolerance_)) {
          outcome.sweeps = sweep - 1;
          outcome.meanChange = before;
          outcome.finished = true;
          lastSweepOnHelper_ = true;
          return outcome;
        }
      }
      if (!report(sweep, meanChange)) return outcome;
      if (!keepsSweeping(meanChange, tolerance_)) {
        outcome.sweeps = sweep;
        outcome.meanChange = meanChange;
        outcome.finished = true;
        return outcome;
      }
    }
  }

  // The helper thread's share: each even sweep, for as long as the sweep it
  // would follow is still to be continued.
  void runEvenSweeps() {
    BandSweeper sweeper(coefficients_, planes_[0]->cols(), vectors_);
    VisitRecord visit;
    for (int32_t sweep = 2;; sweep += 2) {
      const std::optional<float> meanChange = runSweep(sweeper, sweep, visit);
      if (!meanChange) return;
      helperLastVisit_ = visit;
      publishMean(sweep, *meanChange);
      const std::optional<float> before = awaitMean(sweep - 1);
      if (!before || !keepsSweeping(*before, tolerance_) || !keepsSweeping(*meanChange, tolerance_)) return;
    }
  }

  // Abandons whatever sweep is still running.
  void stop() { stopped_.store(true, std::memory_order_relaxed); }

  // Valid once the helper has been joined.
  bool lastSweepOnHelper() const { return lastSweepOnHelper_; }
  const VisitRecord& helperLastVisit() const { return helperLastVisit_; }

 private:
  // Rows a sweep has finished, as one number that only grows over the solve.
  static int64_t progressMark(int32_t sweep, int32_t rows) { return (int64_t{sweep} << 32) | rows; }

  class Gate : public SweepGate {
   public:
    Gate(OverlappedSweeps& owner, int32_t sweep) : owner_(owner), sweep_(sweep) {}
    bool awaitSourceRows(int32_t rowCount) override {
      const std::atomic<int64_t>& progress = owner_.progress_[static_cast<std::size_t>((sweep_ - 1) % 2)];
      const int64_t mark = progressMark(sweep_ - 1, rowCount);
      return owner_.awaitUntil([&] { return progress.load(std::memory_order_acquire) >= mark; });
    }
    void finishedRows(int32_t rowCount) override {
      owner_.progress_[static_cast<std::size_t>(sweep_ % 2)].store(progressMark(sweep_, rowCount),
                                                                   std::memory_order_release);
    }

   private:
    OverlappedSweeps& owner_;
    int32_t sweep_;
  };

  std::optional<float> runSweep(BandSweeper& sweeper, int32_t sweep, VisitRecord& visit) {
    Gate gate(*this, sweep);
    const SweepPlanes planes = planesOf(planes_[static_cast<std::size_t>((sweep - 1) % 2)]->data(),
                                        planes_[static_cast<std::size_t>(sweep % 2)]->data(), sparseness_, depth_);
    return sweeper.sweep(planes, visit, &gate);
  }

  template <typename Condition>
  bool awaitUntil(Condition condition) const {
    for (int spins = 0;;) {
      if (condition()) return true;
      if (stopped_.load(std::memory_order_relaxed)) return false;
      if (spins < kSpinsBeforeYield)
        ++spins;
      else
        std::this_thread::yield();
    }
  }

  // A mean is read by the thread of the next sweep before that thread starts
  // the sweep after; by then the slot's next writer, four sweeps later, cannot
  // have finished.
  void publishMean(int32_t sweep, float meanChange) {
    const auto slot = static_cast<std::size_t>(sweep % kMeanSlots);
    means_[slot] = meanChange;
    meanTags_[slot].store(sweep, std::memory_order_release);
  }

  std::optional<float> awaitMean(int32_t sweep) const {
    const auto slot = static_cast<std::size_t>(sweep % kMeanSlots);
    if (!awaitUntil([&] { return meanTags_[slot].load(std::memory_order_acquire) == sweep; })) return std::nullopt;
    return means_[slot];
  }

  static constexpr int32_t kMeanSlots = 4;

  std::array<Plane<double>*, 2> planes_;
  const Plane<uint8_t>& sparseness_;
  const Plane<uint8_t>& depth_;
  const SweepCoefficients& coefficients_;
  const float tolerance_;
  const SweepVectors vectors_;
  const int32_t rows_;
  std::array<std::atomic<int64_t>, 2> progress_;  // by the parity of the sweep writing
  std::array<float, kMeanSlots> means_{};
  std::array<std::atomic<int32_t>, kMeanSlots> meanTags_;  // the sweep whose mean the slot holds
  std::atomic<bool> stopped_{false};
  bool lastSweepOnHelper_ = false;
  VisitRecord helperLastVisit_;
};

// Stops and joins the helper on every way out, exceptions from the observer
// included.
class HelperThread {
 public:
  explicit HelperThread(OverlappedSweeps& sweeps) : sweeps_(sweeps), thread_([&] { sweeps_.runEvenSweeps(); }) {}
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  ~HelperThread() { join(); }

  void join() {
    if (!thread_.joinable()) return;
    sweeps_.stop();
    thread_.join();
  }

 private:
  OverlappedSweeps& sweeps_;
  std::thread thread_;
};

}  // namespace

int32_t sweepThreadsFor(int32_t requested, int32_t rows, int32_t cols) {
  if (requested > 0) return requested >= 2 ? 2 : 1;
  if (std::thread::hardware_concurrency() < 2) return 1;
  const bool largeEnough = rows >= kMinRowsForOverlap && int64_t{rows} * cols >= kMinPixelsForOverlap;
  return largeEnough ? 2 : 1;
}

SweepOutcome sweepToTolerance(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                              const SweepCoefficients& coefficients, float tolerance, int32_t threads,
                              SweepVectors vectors, VisitRecord lastVisit, const SweepObserver& observer) {
  if (threads < 2) return sweepInPlace(work, sparseness, depth, coefficients, tolerance, vectors, lastVisit, observer);

  Plane<double> levels = widened(work);
  Plane<double> spare;
  spare.allocate(work.rows(), work.cols());
  OverlappedSweeps sweeps(levels, spare, sparseness, depth, coefficients, tolerance, vectors);
  std::optional<HelperThread> helper;
  try {
    helper.emplace(sweeps);
  } catch (const std::system_error&) {
    return sweepInPlace(work, sparseness, depth, coefficients, tolerance, vectors, lastVisit, observer);
  }
  SweepOutcome outcome = sweeps.runOddSweeps(lastVisit, observer);
  helper->join();
  if (!outcome.finished) return outcome;
  if (sweeps.lastSweepOnHelper()) outcome.lastVisit = sweeps.helperLastVisit();
  narrowInto(work, outcome.sweeps % 2 == 1 ? spare : levels);
  return outcome;
}

}  // namespace filamorph
