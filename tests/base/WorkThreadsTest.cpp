// Shared work: what blocks of rows collect comes out in row order, whichever
// thread ran which block, on planes too small to share and large enough to;
// failures come back to the caller.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/WorkThreads.h"

namespace filamorph {
namespace {

TEST(WorkThreads, CollectedRowsComeInRowOrder) {
  for (const int32_t rows : {5, 301}) {
    std::vector<int32_t> expected;
    for (int32_t row = 0; row < rows; ++row)
      if (row % 3 != 1) expected.push_back(row);
    for (const int32_t threadCount : {1, 2}) {
      const WorkThreads threads(threadCount);
      const std::vector<int32_t> found =
          threads.collectRows<int32_t>(rows, 400, [](int32_t first, int32_t end, std::vector<int32_t>& items) {
            for (int32_t row = first; row < end; ++row)
              if (row % 3 != 1) items.push_back(row);
          });
      EXPECT_EQ(found, expected) << rows << " rows, " << threadCount << " threads";
    }
  }
}

// A task that throws, on either thread, comes out of the call, and only after
// every task begun has ended; the next call starts clean.
TEST(WorkThreads, AFailedTaskIsThrownOnceTheTasksBegunHaveEnded) {
  for (const int32_t threadCount : {1, 2}) {
    for (const int32_t failing : {0, 63}) {
      const WorkThreads threads(threadCount);
      std::atomic<int32_t> running{0};
      const auto task = [&](int32_t index) {
        running.fetch_add(1);
        if (index == failing) {
          running.fetch_sub(1);
          throw std::runtime_error("task " + std::to_string(index));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        running.fetch_sub(1);
      };
      EXPECT_THROW(threads.forTasks(64, task), std::runtime_error) << threadCount << " threads, task " << failing;
      EXPECT_EQ(running.load(), 0) << threadCount << " threads, task " << failing;
      std::atomic<int32_t> ran{0};
      threads.forTasks(8, [&](int32_t) { ran.fetch_add(1); });
      EXPECT_EQ(ran.load(), 8);
    }
  }
}

// Work started from inside a task, on either thread, runs there to its end.
TEST(WorkThreads, WorkInsideATaskStaysOnItsThread) {
  const WorkThreads threads(2);
  std::vector<int64_t> sums(16);
  threads.forTasks(16, [&](int32_t task) {
    threads.forRows(400, 400, [&](int32_t first, int32_t end) {
      for (int32_t row = first; row < end; ++row) sums[static_cast<std::size_t>(task)] += row;
    });
  });
  for (const int64_t sum : sums) EXPECT_EQ(sum, 399 * 400 / 2);
}

}  // namespace
}  // namespace filamorph
