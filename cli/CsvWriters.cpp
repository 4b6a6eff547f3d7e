#include "cli/CsvWriters.h"

#include <cstdio>
#include <type_traits>

#include "contours/ContourColumns.h"

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

// The header line: the index columns, then the shared columns by name.
template <typename ForEachColumn>
std::string header(std::string indexColumns, ForEachColumn forEachColumn) {
  forEachColumn([&](const char* name, auto) { indexColumns += std::string(",") + name; });
  return indexColumns + "\n";
}

}  // namespace

std::string contoursCsv(const std::vector<Contour>& contours) {
  std::string text = header(kContourIndexColumn, [](auto visit) { forEachContourColumn(visit); });
  for (std::size_t i = 0; i < contours.size(); ++i) {
    CsvLine line(text);
    line << i;
    forEachContourColumn([&](const char*, auto member) { line << contours[i].*member; });
  }
  return text;
}

std::string pointsCsv(const std::vector<Contour>& contours) {
  std::string text =
      header(std::string(kContourIndexColumn) + "," + kPointIndexColumn, [](auto visit) { forEachPointColumn(visit); });
  for (std::size_t i = 0; i < contours.size(); ++i) {
    const std::vector<ContourPoint>& points = contours[i].points;
    for (std::size_t j = 0; j < points.size(); ++j) {
      CsvLine line(text);
      line << i << j;
      forEachPointColumn([&](const char*, auto member) { line << points[j].*member; });
    }
  }
  return text;
}

}  // namespace filamorph::cli
