#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "contours/SmallestIndexSet.h"

namespace filamorph {
namespace {

std::vector<int64_t> takeAll(SmallestIndexSet& set) {
  std::vector<int64_t> taken;
  for (int64_t index = set.takeSmallest(); index >= 0; index = set.takeSmallest()) taken.push_back(index);
  return taken;
}

// Members on either side of word (64) and summary (4096) boundaries, given
// out of order and twice, come back once each, smallest first.
TEST(SmallestIndexSet, GivesMembersSmallestFirstAcrossWordBoundaries) {
  SmallestIndexSet set;
  set.reset(10000);
  EXPECT_EQ(set.takeSmallest(), -1);
  for (const std::size_t index : {4096u, 63u, 9999u, 64u, 0u, 4095u, 64u, 130u}) set.insert(index);
  EXPECT_EQ(takeAll(set), (std::vector<int64_t>{0, 63, 64, 130, 4095, 4096, 9999}));
  EXPECT_EQ(set.takeSmallest(), -1);
}

// An insertion below members already taken is still found first.
TEST(SmallestIndexSet, FindsAnInsertionBehindTheSearch) {
  SmallestIndexSet set;
  set.reset(20000);
  set.insert(9000);
  set.insert(15000);
  EXPECT_EQ(set.takeSmallest(), 9000);
  set.insert(5);
  set.insert(9001);
  EXPECT_EQ(takeAll(set), (std::vector<int64_t>{5, 9001, 15000}));
  set.reset(100);
  EXPECT_EQ(set.takeSmallest(), -1);
}

}  // namespace
}  // namespace filamorph
