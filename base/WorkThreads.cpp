#include "base/WorkThreads.h"

#include <algorithm>
#include <utility>

namespace filamorph {

namespace {

// Below this many cells a plane's work is over before a second thread would
// have started on its share.
constexpr int64_t kSharedCells = 96 * 96;
constexpr int32_t kMostThreads = 2;
// How long an idle helper keeps looking for the next job before it sleeps:
// the kernels of one solve follow each other within microseconds, and the
// coarsest levels of a multigrid cycle, run by one thread, take a few hundred
// (a pause lasts 10 to 40 ns, by processor).
constexpr int kIdleSpins = 20000;

constexpr int kGenerationShift = 32;
constexpr int kBackShift = 16;
constexpr uint64_t kFieldMask = 0xFFFF;

uint64_t generationOf(uint64_t ticket) {
  return ticket >> kGenerationShift;
}
// The blocks not yet taken are [front, back).
int32_t backOf(uint64_t ticket) {
  return static_cast<int32_t>((ticket >> kBackShift) & kFieldMask);
}
int32_t frontOf(uint64_t ticket) {
  return static_cast<int32_t>(ticket & kFieldMask);
}

// Tells the processor that this thread is spinning, so that the other thread
// of its core runs faster meanwhile.
void pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

}  // namespace

WorkThreads::WorkThreads(int32_t threads) {
  const int32_t wanted =
      threads > 0 ? threads : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  if (std::min(wanted, kMostThreads) > 1) helper_ = std::thread([this] { helperLoop(); });
}

WorkThreads::~WorkThreads() {
  if (!helper_.joinable()) return;
  stopping_.store(true, std::memory_order_release);
  ticket_.fetch_add(uint64_t{1} << kGenerationShift, std::memory_order_release);
  ticket_.notify_one();
  helper_.join();
}

bool WorkThreads::worthSharing(int32_t rows, int32_t cols) {
  return static_cast<int64_t>(rows) * cols >= kSharedCells;
}

bool WorkThreads::shared(int32_t rows, int32_t cols) const {
  // Block counts must fit their field of the ticket; a plane that tall is
  // not shared.
  return helper_.joinable() && worthSharing(rows, cols) &&
         static_cast<uint64_t>(blockCount(rows, kRowsPerBlock)) <= kFieldMask;
}

int32_t WorkThreads::claim(uint64_t generation, bool fromBack) const {
  uint64_t ticket = ticket_.load(std::memory_order_acquire);
  while (generationOf(ticket) == generation && frontOf(ticket) < backOf(ticket)) {
    const uint64_t taken = fromBack ? ticket - (uint64_t{1} << kBackShift) : ticket + 1;
    if (ticket_.compare_exchange_weak(ticket, taken, std::memory_order_acq_rel, std::memory_order_acquire))
      return fromBack ? backOf(ticket) - 1 : frontOf(ticket);
  }
  return -1;
}

void WorkThreads::runClaimedBlocks(const Job& job, uint64_t generation, bool fromBack,
                                   std::exception_ptr& failure) const {
  for (int32_t block; (block = claim(generation, fromBack)) >= 0;) {
    try {
      job.call(job.body, block);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    finished_.fetch_add(1, std::memory_order_release);
  }
}

void WorkThreads::runShared(const Job& job) const {
  inJob_.store(true, std::memory_order_release);
  job_ = job;
  finished_.store(0, std::memory_order_relaxed);
  const uint64_t generation = generationOf(ticket_.load(std::memory_order_relaxed)) + 1;
  ticket_.store((generation << kGenerationShift) | (static_cast<uint64_t>(job.blocks) << kBackShift),
                std::memory_order_release);
  ticket_.notify_one();
  std::exception_ptr failure;
  runClaimedBlocks(job, generation, false, failure);
  // Only blocks the helper has begun are left.
  for (int spins = 0; finished_.load(std::memory_order_acquire) != job.blocks; ++spins) {
    if (spins < kIdleSpins)
      pause();
    else
      std::this_thread::yield();
  }
  // The helper's failure is read once its last block is counted.
  std::exception_ptr helperFailure = std::exchange(helperFailure_, nullptr);
  inJob_.store(false, std::memory_order_release);
  if (failure) std::rethrow_exception(failure);
  if (helperFailure) std::rethrow_exception(helperFailure);
}

void WorkThreads::helperLoop() {
  uint64_t seen = 0;
  while (true) {
    uint64_t ticket = ticket_.load(std::memory_order_acquire);
    if (stopping_.load(std::memory_order_acquire)) return;
    if (generationOf(ticket) != seen) {
      seen = generationOf(ticket);
      runClaimedBlocks(job_, seen, true, helperFailure_);
      continue;
    }
    int spins = 0;
    while (spins < kIdleSpins && ticket_.load(std::memory_order_relaxed) == ticket) {
      pause();
      ++spins;
    }
    if (spins == kIdleSpins) ticket_.wait(ticket, std::memory_order_acquire);
  }
}

}  // namespace filamorph
