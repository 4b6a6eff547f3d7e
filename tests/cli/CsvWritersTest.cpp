#include "cli/CsvWriters.h"

#include <gtest/gtest.h>

#include <vector>

namespace filamorph::cli {
namespace {

constexpr const char* kContourHeader =
    "contour,closed,selected,pointCount,left,top,spanCols,spanRows,meanCol,meanRow,length,meanCurvature,"
    "meanContrast,priority,rank\n";
constexpr const char* kPointHeader =
    "contour,point,row,col,normal,leftLength,rightLength,leftExtent,rightExtent,leftContrast,rightContrast,"
    "weightLeft,weightMiddle,weightRight,baseLevel\n";

ContourPoint point(int32_t row, int32_t col) {
  ContourPoint p;
  p.row = row;
  p.col = col;
  return p;
}

// Two contours: the first with descriptors from a selection and fitted
// profiles, the second as tracing leaves it and unselected.
std::vector<Contour> smallModel() {
  Contour first;
  first.closed = 1;
  first.selected = 1;
  first.left = 3;
  first.top = 4;
  first.spanCols = 2;
  first.spanRows = 1;
  first.meanCol = 3.5f;
  first.meanRow = 0.1f;  // not exact in binary: shows the nine significant digits
  first.length = 2;
  first.meanCurvature = 1.0f / 3.0f;
  first.meanContrast = 17;
  first.priority = 1e-7f;
  first.rank = 1;
  ContourPoint a = point(4, 3);
  a.normal = 2;
  a.leftLength = 5;
  a.rightLength = 4;
  a.leftExtent = 3;
  a.rightExtent = 31;
  a.leftContrast = -12;
  a.rightContrast = 40;
  a.weightLeft = -0.7f;
  a.weightMiddle = 2.5f;
  a.weightRight = -1.8f;
  a.baseLevel = 300.25f;
  ContourPoint b = point(5, 4);
  b.normal = 6;
  b.weightLeft = -0.0f;
  b.baseLevel = 1e20f;
  first.points = {a, b};
  first.pointCount = 2;

  Contour second;
  second.points = {point(0, 7)};
  second.pointCount = 1;
  second.left = 7;
  second.meanCol = 7.0f;
  return {first, second};
}

TEST(CsvWriters, ContourTableOneLinePerContourInTableOrder) {
  EXPECT_EQ(contoursCsv(smallModel()), std::string(kContourHeader) +
                                           "0,1,1,2,3,4,2,1,3.5,0.100000001,2,0.333333343,17,1.00000001e-07,1\n"
                                           "1,0,0,1,7,0,0,0,7,0,0,0,0,0,0\n");
}

TEST(CsvWriters, PointTableOneLinePerPointWithSignedFieldsAndFullFloats) {
  EXPECT_EQ(pointsCsv(smallModel()), std::string(kPointHeader) +
                                         "0,0,4,3,2,5,4,3,31,-12,40,-0.699999988,2.5,-1.79999995,300.25\n"
                                         "0,1,5,4,6,0,0,0,0,0,0,-0,0,0,1.00000002e+20\n"
                                         "1,0,0,7,0,0,0,0,0,0,0,0,0,0,0\n");
}

TEST(CsvWriters, EmptyTableIsTheHeaderAlone) {
  EXPECT_EQ(contoursCsv({}), kContourHeader);
  EXPECT_EQ(pointsCsv({}), kPointHeader);
}

}  // namespace
}  // namespace filamorph::cli
