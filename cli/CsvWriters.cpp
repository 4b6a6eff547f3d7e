#include "cli/CsvWriters.h"

#include <cstdio>
#include <type_traits>

namespace filamorph::cli {
namespace {

// Appends comma-separated fields; the caller ends the line.
class CsvLine {
 public:
  explicit CsvLine(std::string& text) : text_(text) {}

  template <typename T>
  CsvLine& operator<<(T value) {
    if (!first_) text_ += ',';
    first_ = false;
    if constexpr (std::is_floating_point_v<T>) {
      char buffer[32];
      const int length = std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
      text_.append(buffer, static_cast<std::size_t>(length));
    } else {
      // Widened first so that the 8-bit flags print as numbers, not characters.
      text_ += std::to_string(static_cast<long long>(value));
    }
    return *this;
  }

  ~CsvLine() { text_ += '\n'; }

 private:
  std::string& text_;
  bool first_ = true;
};

}  // namespace

std::string contoursCsv(const std::vector<Contour>& contours) {
  std::string text =
      "contour,closed,selected,pointCount,left,top,spanCols,spanRows,meanCol,meanRow,length,meanCurvature,"
      "meanContrast,priority,rank\n";
  for (std::size_t i = 0; i < contours.size(); ++i) {
    const Contour& c = contours[i];
    CsvLine(text) << i << c.closed << c.selected << c.pointCount << c.left << c.top << c.spanCols << c.spanRows
                  << c.meanCol << c.meanRow << c.length << c.meanCurvature << c.meanContrast << c.priority << c.rank;
  }
  return text;
}

std::string pointsCsv(const std::vector<Contour>& contours) {
  std::string text =
      "contour,point,row,col,normal,leftLength,rightLength,leftExtent,rightExtent,leftContrast,rightContrast,"
      "weightLeft,weightMiddle,weightRight,baseLevel\n";
  for (std::size_t i = 0; i < contours.size(); ++i) {
    const std::vector<ContourPoint>& points = contours[i].points;
    for (std::size_t j = 0; j < points.size(); ++j) {
      const ContourPoint& p = points[j];
      CsvLine(text) << i << j << p.row << p.col << p.normal << p.leftLength << p.rightLength << p.leftExtent
                    << p.rightExtent << p.leftContrast << p.rightContrast << p.weightLeft << p.weightMiddle
                    << p.weightRight << p.baseLevel;
    }
  }
  return text;
}

}  // namespace filamorph::cli
