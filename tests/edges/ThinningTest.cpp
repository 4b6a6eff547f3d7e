#include <gtest/gtest.h>

#include <string>

#include "EdgeTestSupport.h"
#include "edges/EdgeDetector.h"

namespace filamorph {
namespace {

using testing::nonZeroPositions;
using testing::PositionSet;

PositionSet row(int32_t r, int32_t firstCol, int32_t lastCol) {
  PositionSet set;
  for (int32_t c = firstCol; c <= lastCol; ++c) set.insert({r, c});
  return set;
}

PositionSet column(int32_t c, int32_t firstRow, int32_t lastRow) {
  PositionSet set;
  for (int32_t r = firstRow; r <= lastRow; ++r) set.insert({r, c});
  return set;
}

PositionSet unite(PositionSet a, const PositionSet& b) {
  a.insert(b.begin(), b.end());
  return a;
}

PositionSet without(PositionSet a, const PositionSet& b) {
  for (const auto& p : b) a.erase(p);
  return a;
}

struct ThinningCase {
  std::string name;
  PositionSet before;
  PositionSet after;
};

TEST(Thinning, WorkedExamples) {
  const PositionSet plus = unite(row(3, 1, 5), column(3, 1, 5));
  const PositionSet ell = unite(column(1, 1, 3), row(3, 1, 5));
  const std::vector<ThinningCase> cases = {
      {"isolated pixel", {{2, 2}}, {{2, 2}}},
      {"horizontal line", row(2, 1, 6), row(2, 1, 6)},
      {"vertical line", column(3, 1, 5), column(3, 1, 5)},
      {"plus sign", plus, plus},
      {"L loses its corner", ell, without(ell, {{3, 1}})},
      {"staircase becomes a diagonal",
       {{1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}, {4, 3}, {4, 4}},
       {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
      {"two full rows", unite(row(1, 1, 8), row(2, 1, 8)), unite({{1, 8}}, row(2, 1, 7))},
      {"3 x 3 block", unite(unite(row(1, 1, 3), row(2, 1, 3)), row(3, 1, 3)), {{1, 3}, {2, 3}, {3, 1}, {3, 2}}},
  };
  for (const ThinningCase& example : cases) {
    SCOPED_TRACE(example.name);
    EdgeDetector detector;
    testing::setEdgeMap(detector, 7, 10, example.before);
    detector.thinEdges();
    EXPECT_EQ(nonZeroPositions(detector.edgeMap), example.after);
    for (uint8_t value : testing::contents(detector.edgeMap)) EXPECT_TRUE(value == 0 || value == 250);
  }
}

TEST(Thinning, PixelsOnTheMapEdgeSeeNothingOutside) {
  // Thinning does not rely on a cleared border: a thick band touching the
  // map's edges is thinned without reading outside the map.
  EdgeDetector detector;
  testing::setEdgeMap(detector, 3, 6, unite(row(0, 0, 5), row(1, 0, 5)));
  detector.thinEdges();
  const PositionSet after = nonZeroPositions(detector.edgeMap);
  EXPECT_FALSE(after.empty());
  EXPECT_LT(after.size(), 12u);
}

}  // namespace
}  // namespace filamorph
