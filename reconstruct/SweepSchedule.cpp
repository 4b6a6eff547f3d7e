#include "reconstruct/SweepSchedule.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <optional>
#include <system_error>
#include <thread>

namespace filamorph {

namespace {

// Below these a part of a sweep is too small to be worth a thread.
constexpr int32_t kMinRowsForTwoParts = 32;
constexpr int64_t kMinPixelsForTwoParts = 128 * 128;

// Spinning catches the other thread's next band or value without a system call; after
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

// Values handed from one thread to the other, one per sweep, in a few slots
// taken in turn. A slot is read before its next writer, kSlots sweeps later,
// can reach it: each thread waits for the other's value of the sweep before.
template <typename Value>
class HandOffs {
 public:
  HandOffs() {
    for (auto& tag : tags_) tag.store(0, std::memory_order_relaxed);
  }
  void publish(int32_t sweep, const Value& value) {
    const auto slot = static_cast<std::size_t>(sweep % kSlots);
    values_[slot] = value;
    tags_[slot].store(sweep, std::memory_order_release);
  }
  bool has(int32_t sweep) const {
    return tags_[static_cast<std::size_t>(sweep % kSlots)].load(std::memory_order_acquire) == sweep;
  }
  const Value& value(int32_t sweep) const { return values_[static_cast<std::size_t>(sweep % kSlots)]; }

 private:
  static constexpr int32_t kSlots = 4;
  std::array<Value, kSlots> values_{};
  std::array<std::atomic<int32_t>, kSlots> tags_;  // the sweep whose value the slot holds
};

// What an upper part hands on: the sum of its changes, which the lower part
// continues in raster order, and the lower part's first row.
struct UpperPart {
  float changeSum = 0.0f;
  int32_t cut = 0;
};

// What a lower part hands back: the sweep's mean change, and its own time.
struct LowerPart {
  float meanChange = 0.0f;
  double seconds = 0.0;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the two threads share. Each sweep is cut across in two parts: the
// calling thread visits the upper part of every sweep, the helper the lower
// part, so that the lower part of one sweep runs while the upper part of the
// next does, and only the rows on either side of the cut pass between the
// processors. Sweep j writes plane j mod 2 and reads the values of sweep
// j - 1 from the other plane; the start values count as sweep 0. The cut may
// move from sweep to sweep: the gates keep every read after the write it
// needs and every write after the last read of what it replaces.
class SplitSweeps {
 public:
  SplitSweeps(Plane<double>& levels, Plane<double>& spare, const Plane<uint8_t>& sparseness,
              const Plane<uint8_t>& depth, const SweepCoefficients& coefficients, float tolerance, SweepVectors vectors)
      : planes_{&levels, &spare},
        sparseness_(sparseness),
        depth_(depth),
        coefficients_(coefficients),
        tolerance_(tolerance),
        vectors_(vectors),
        rows_(levels.rows()),
        pixelCount_(static_cast<float>(static_cast<int64_t>(rows_) * levels.cols())) {
    progress_[0].store(progressMark(0, rows_), std::memory_order_relaxed);
    progress_[1].store(0, std::memory_order_relaxed);
  }

  // The calling thread's share; reports every sweep in order and decides
  // which sweep is the last. The upper part of sweep j overwrites the plane
  // of sweep j - 2, so it starts only once sweep j - 2 is known not to be the
  // last; the upper part after the last sweep is dropped.
  SweepOutcome runUpperParts(VisitRecord lastVisit, const SweepObserver& observer, PartCuts& cuts) {
    BandSweeper sweeper(coefficients_, planes_[0]->cols(), vectors_);
    SweepOutcome outcome;
    outcome.lastVisit = lastVisit;
    VisitRecord visit;
    std::optional<SweepPartTimes> latest;
    SweepPartTimes before;  // of the sweep before this one, its lower part still to come
    for (int32_t sweep = 1;; ++sweep) {
      const int32_t cut = cuts.cutFor(sweep, rows_, latest);
      const auto start = std::chrono::steady_clock::now();
      // Only this thread stops the sweeps, so its own parts always finish.
      const float changeSum = *runPart(sweeper, sweep, 0, cut, 0.0f, visit);
      const double seconds = secondsSince(start);
      uppers_.publish(sweep, {changeSum, cut});
      if (sweep > 1) {
        const std::optional<LowerPart> lower = awaitHandOff(lowers_, sweep - 1);
        if (!lower) return outcome;
        if (observer && !observer(sweep - 1, lower->meanChange)) return outcome;
        if (!keepsSweeping(lower->meanChange, tolerance_)) {
          outcome.sweeps = sweep - 1;
          outcome.meanChange = lower->meanChange;
          outcome.finished = true;
          return outcome;
        }
        before.lowerSeconds = lower->seconds;
        latest = before;
      }
      before = {cut, seconds, 0.0};
    }
  }

  // The helper thread's share: the lower part of each sweep, until one has a
  // mean change under the tolerance.
  void runLowerParts() {
    BandSweeper sweeper(coefficients_, planes_[0]->cols(), vectors_);
    VisitRecord visit;
    for (int32_t sweep = 1;; ++sweep) {
      const std::optional<UpperPart> upper = awaitHandOff(uppers_, sweep);
      if (!upper) return;
      const auto start = std::chrono::steady_clock::now();
      const std::optional<float> sum = runPart(sweeper, sweep, upper->cut, rows_, upper->changeSum, visit);
      if (!sum) return;
      lastVisit_ = visit;
      const float meanChange = *sum / pixelCount_;
      lowers_.publish(sweep, {meanChange, secondsSince(start)});
      if (!keepsSweeping(meanChange, tolerance_)) return;
    }
  }

  // Abandons whatever part is still running.
  void stop() { stopped_.store(true, std::memory_order_relaxed); }

  // The scratch values of the last sweep's last visit; valid once the helper
  // has been joined after a finished solve.
  const VisitRecord& lastVisit() const { return lastVisit_; }

 private:
  // Rows a sweep has finished, as one number that only grows over the solve.
  static int64_t progressMark(int32_t sweep, int32_t rows) { return (int64_t{sweep} << 32) | rows; }

  class Gate : public SweepGate {
   public:
    Gate(SplitSweeps& owner, int32_t sweep) : owner_(owner), sweep_(sweep) {}
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
    SplitSweeps& owner_;
    int32_t sweep_;
  };

  std::optional<float> runPart(BandSweeper& sweeper, int32_t sweep, int32_t firstRow, int32_t endRow, float sumBefore,
                               VisitRecord& visit) {
    Gate gate(*this, sweep);
    const SweepPlanes planes = planesOf(planes_[static_cast<std::size_t>((sweep - 1) % 2)]->data(),
                                        planes_[static_cast<std::size_t>(sweep % 2)]->data(), sparseness_, depth_);
    return sweeper.sweepRows(planes, firstRow, endRow, sumBefore, visit, &gate);
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

  template <typename Value>
  std::optional<Value> awaitHandOff(const HandOffs<Value>& handOffs, int32_t sweep) const {
    if (!awaitUntil([&] { return handOffs.has(sweep); })) return std::nullopt;
    return handOffs.value(sweep);
  }

  std::array<Plane<double>*, 2> planes_;
  const Plane<uint8_t>& sparseness_;
  const Plane<uint8_t>& depth_;
  const SweepCoefficients& coefficients_;
  const float tolerance_;
  const SweepVectors vectors_;
  const int32_t rows_;
  const float pixelCount_;
  // Written by the part running the sweep: the upper part's thread, then the
  // lower part's, never both at once.
  std::array<std::atomic<int64_t>, 2> progress_;  // by the parity of the sweep writing
  HandOffs<UpperPart> uppers_;
  HandOffs<LowerPart> lowers_;
  std::atomic<bool> stopped_{false};
  VisitRecord lastVisit_;
};

// Stops and joins the helper on every way out, exceptions from the observer
// included.
class HelperThread {
 public:
  explicit HelperThread(SplitSweeps& sweeps) : sweeps_(sweeps), thread_([&] { sweeps_.runLowerParts(); }) {}
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  ~HelperThread() { join(); }

  void join() {
    if (!thread_.joinable()) return;
    sweeps_.stop();
    thread_.join();
  }

 private:
  SplitSweeps& sweeps_;
  std::thread thread_;
};

}  // namespace

int32_t sweepThreadsFor(int32_t requested, int32_t rows, int32_t cols) {
  if (requested > 0) return requested >= 2 ? 2 : 1;
  if (std::thread::hardware_concurrency() < 2) return 1;
  const bool largeEnough = rows >= kMinRowsForTwoParts && int64_t{rows} * cols >= kMinPixelsForTwoParts;
  return largeEnough ? 2 : 1;
}

SweepOutcome sweepToTolerance(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
                              const SweepCoefficients& coefficients, float tolerance, int32_t threads,
                              SweepVectors vectors, VisitRecord lastVisit, const SweepObserver& observer,
                              PartCuts* cuts) {
  if (threads < 2) return sweepInPlace(work, sparseness, depth, coefficients, tolerance, vectors, lastVisit, observer);

  Plane<double> levels = widened(work);
  Plane<double> spare;
  spare.allocate(work.rows(), work.cols());
  SplitSweeps sweeps(levels, spare, sparseness, depth, coefficients, tolerance, vectors);
  std::optional<HelperThread> helper;
  try {
    helper.emplace(sweeps);
  } catch (const std::system_error&) {
    return sweepInPlace(work, sparseness, depth, coefficients, tolerance, vectors, lastVisit, observer);
  }
  BalancedPartCuts balanced;
  SweepOutcome outcome = sweeps.runUpperParts(lastVisit, observer, cuts != nullptr ? *cuts : balanced);
  helper->join();
  if (!outcome.finished) return outcome;
  outcome.lastVisit = sweeps.lastVisit();
  narrowInto(work, outcome.sweeps % 2 == 1 ? spare : levels);
  return outcome;
}

}  // namespace filamorph
