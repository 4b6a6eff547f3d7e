#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ModelFixture.h"

namespace filamorph {
namespace {

using testing::Pixel;
using testing::run;

struct NormalCase {
  std::string name;
  std::vector<Pixel> pixels;
  std::vector<int16_t> normals;
};

// A quarter turn counter-clockwise from the direction of travel, diagonals
// falling to the even code below them.
std::vector<NormalCase> normalCases() {
  std::vector<NormalCase> cases;
  const char* names[8] = {"East", "NorthEast", "North", "NorthWest", "West", "SouthWest", "South", "SouthEast"};
  const int16_t expected[8] = {2, 2, 4, 4, 6, 6, 0, 0};
  for (int32_t direction = 0; direction < 8; ++direction) {
    cases.push_back({std::string("RunTowards") + names[direction], run(10, 10, direction, 5),
                     std::vector<int16_t>(5, expected[direction])});
  }
  // Raw normals 2 2 0 2 2: the median removes a single step south.
  cases.push_back({"SingleKinkIsSmoothedAway", {{5, 0}, {5, 1}, {6, 1}, {6, 2}, {6, 3}}, {2, 2, 2, 2, 2}});
  // Raw normals 2 2 2 1: the last point keeps its own value, not its
  // neighbour's, and 1 rounds down to 0.
  cases.push_back({"LastPointKeepsItsOwnDirection", {{4, 0}, {4, 1}, {4, 2}, {5, 3}}, {2, 2, 2, 0}});
  // The first point takes the step to the second, like the second point.
  cases.push_back({"TwoPointsShareTheirStep", {{3, 3}, {2, 3}}, {4, 4}});
  cases.push_back({"LonePointFacesEast", {{3, 3}}, {0}});
  return cases;
}

class NormalsTest : public ::testing::TestWithParam<NormalCase> {};

TEST_P(NormalsTest, EveryPointGetsTheExpectedEvenCode) {
  // No planes: normals come from the points alone, as after reading a file.
  ContourCoder coder;
  Contour& contour = testing::addContour(coder, GetParam().pixels);
  for (ContourPoint& point : contour.points) point.normal = 5;
  coder.computeNormals();
  std::vector<int16_t> normals;
  for (const ContourPoint& point : coder.contours[0].points) normals.push_back(point.normal);
  EXPECT_EQ(normals, GetParam().normals);
}

INSTANTIATE_TEST_SUITE_P(Runs, NormalsTest, ::testing::ValuesIn(normalCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace filamorph
