// Shared work: what blocks of rows collect comes out in row order, whichever
// thread ran which block, on planes too small to share and large enough to.

#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
}  // namespace filamorph
