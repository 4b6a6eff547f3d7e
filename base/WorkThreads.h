#ifndef FILAMORPH_BASE_WORKTHREADS_H
#define FILAMORPH_BASE_WORKTHREADS_H
// The calling thread and a helper sharing work over the rows of a plane or a
// list of tasks, with results that come out the same whatever their number.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

namespace filamorph {

// Work is cut into blocks of rows that the calling thread and a helper take
// one by one, the caller from the first block on and the helper from the
// last one back: each thread then meets mostly the same rows job after job,
// still in its own cache. The caller never waits for the helper to arrive:
// when the helper is not running (a busy machine), the caller takes every
// block and waits only for a block the helper has already begun. When a block
// throws, the failure (the caller's first, else the helper's) is thrown once
// every block begun has ended; blocks not yet begun may be left undone. Work
// started from inside a block runs on the thread of that block alone.
class WorkThreads {
 public:
  static constexpr int32_t kRowsPerBlock = 8;

  // `threads` is 1 or more, or 0 for one per processor; at most two are used.
  explicit WorkThreads(int32_t threads);
  ~WorkThreads();
  WorkThreads(const WorkThreads&) = delete;
  WorkThreads& operator=(const WorkThreads&) = delete;

  int32_t count() const { return helper_.joinable() ? 2 : 1; }

  // Calls body(firstRow, endRow) over blocks covering [0, rows). `cols`, the
  // cells of work per row, decides whether the work is worth sharing.
  template <typename Body>
  void forRows(int32_t rows, int32_t cols, Body&& body) const {
    forRowBlocks(rows, cols, kRowsPerBlock, body);
  }
  // The same in blocks of `rowsPerBlock` rows, or in one block of all rows
  // when the plane is too small to share: for work whose blocks each redo
  // some rows of their neighbours' and keep scratch rows for the block.
  template <typename Body>
  void forRowBlocks(int32_t rows, int32_t cols, int32_t rowsPerBlock, Body&& body) const {
    const bool share = shared(rows, cols);
    const int32_t size = worthSharing(rows, cols) ? rowsPerBlock : std::max(rows, 1);
    const int32_t blocks = blockCount(rows, size);
    const auto runBlock = [&](int32_t block) { body(block * size, endOf(block, rows, size)); };
    run(blocks, share, runBlock);
  }

  // Calls task(index) for every index in [0, count): the caller takes them
  // from the first on and the helper from the last back. For tasks that share
  // no data, whose results do not depend on which thread runs them.
  template <typename Task>
  void forTasks(int32_t count, Task&& task) const {
    run(count, count > 1 && helper_.joinable(), task);
  }

  // The sum of body(firstRow, endRow) over the blocks, added in block order,
  // so that the total does not depend on which thread ran which block.
  template <typename Body>
  double sumRows(int32_t rows, int32_t cols, Body&& body) const {
    const int32_t blocks = blockCount(rows, kRowsPerBlock);
    std::vector<double> partial(static_cast<std::size_t>(blocks));
    const auto runBlock = [&](int32_t block) {
      partial[static_cast<std::size_t>(block)] = body(block * kRowsPerBlock, endOf(block, rows, kRowsPerBlock));
    };
    run(blocks, shared(rows, cols), runBlock);
    double sum = 0.0;
    for (const double value : partial) sum += value;
    return sum;
  }

  // The items that body(firstRow, endRow, items) appends over the blocks,
  // joined in block order: the list does not depend on which thread ran
  // which block.
  template <typename Item, typename Body>
  std::vector<Item> collectRows(int32_t rows, int32_t cols, Body&& body) const {
    const int32_t blocks = blockCount(rows, kRowsPerBlock);
    std::vector<std::vector<Item>> partial(static_cast<std::size_t>(blocks));
    const auto runBlock = [&](int32_t block) {
      body(block * kRowsPerBlock, endOf(block, rows, kRowsPerBlock), partial[static_cast<std::size_t>(block)]);
    };
    run(blocks, shared(rows, cols), runBlock);
    std::vector<Item> items;
    for (const std::vector<Item>& found : partial) items.insert(items.end(), found.begin(), found.end());
    return items;
  }

 private:
  struct Job {
    void (*call)(const void* body, int32_t block) = nullptr;
    const void* body = nullptr;
    int32_t blocks = 0;
  };

  static int32_t blockCount(int32_t rows, int32_t size) { return (rows + size - 1) / size; }
  static int32_t endOf(int32_t block, int32_t rows, int32_t size) {
    return block * size + size < rows ? block * size + size : rows;
  }
  static bool worthSharing(int32_t rows, int32_t cols);
  bool shared(int32_t rows, int32_t cols) const;

  template <typename RunBlock>
  void run(int32_t blocks, bool share, const RunBlock& runBlock) const {
    if (!share || inJob_.load(std::memory_order_acquire)) {
      for (int32_t block = 0; block < blocks; ++block) runBlock(block);
      return;
    }
    Job job;
    job.call = [](const void* body, int32_t block) { (*static_cast<const RunBlock*>(body))(block); };
    job.body = &runBlock;
    job.blocks = blocks;
    runShared(job);
  }
  void runShared(const Job& job) const;
  // Takes the first or the last block left of the job of `generation`, or
  // returns -1. The job may be read after a successful claim: its caller
  // waits for that block.
  int32_t claim(uint64_t generation, bool fromBack) const;
  // Runs the blocks of the job of `generation` that this thread claims, from
  // the front or the back, counting each as finished; keeps the first failure.
  void runClaimedBlocks(const Job& job, uint64_t generation, bool fromBack, std::exception_ptr& failure) const;
  void helperLoop();

  // The generation of the current job and the bounds of the blocks left, in
  // one word: a claim can never take a block of another job.
  mutable std::atomic<uint64_t> ticket_{0};
  mutable std::atomic<int32_t> finished_{0};
  mutable Job job_;
  mutable std::exception_ptr helperFailure_;
  // Set while a shared job runs, so that work started inside it stays on its thread.
  mutable std::atomic<bool> inJob_{false};
  std::atomic<bool> stopping_{false};
  std::thread helper_;
};

// WorkThreads::forTasks and forRows, or the same on the calling thread alone
// when threads is null.
template <typename Task>
void forTasks(const WorkThreads* threads, int32_t count, Task&& task) {
  if (threads != nullptr) return threads->forTasks(count, task);
  for (int32_t index = 0; index < count; ++index) task(index);
}
template <typename Body>
void forRows(const WorkThreads* threads, int32_t rows, int32_t cols, Body&& body) {
  if (threads != nullptr) return threads->forRows(rows, cols, body);
  body(0, rows);
}

}  // namespace filamorph

#endif  // FILAMORPH_BASE_WORKTHREADS_H
