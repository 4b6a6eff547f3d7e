#ifndef FILAMORPH_CONTOURS_CONTOUREXTENT_H
#define FILAMORPH_CONTOURS_CONTOUREXTENT_H
// The bounding box and mean position of a contour's pixels, as tracing and the file reader both measure them.

#include <algorithm>
#include <cstdint>

#include "contours/Contour.h"

namespace filamorph {

// Takes the pixels in any order; the means are the exact sums divided once,
// in double, then rounded to float.
class ContourExtent {
 public:
  void add(int32_t row, int32_t col) {
    if (count_ == 0) {
      minRow_ = maxRow_ = row;
      minCol_ = maxCol_ = col;
    }
    minRow_ = std::min(minRow_, row);
    maxRow_ = std::max(maxRow_, row);
    minCol_ = std::min(minCol_, col);
    maxCol_ = std::max(maxCol_, col);
    rowSum_ += row;
    colSum_ += col;
    ++count_;
  }

  int64_t count() const { return count_; }

  // Takes in the pixels another extent was given.
  void merge(const ContourExtent& other) {
    if (other.count_ == 0) return;
    if (count_ == 0) {
      *this = other;
      return;
    }
    minRow_ = std::min(minRow_, other.minRow_);
    maxRow_ = std::max(maxRow_, other.maxRow_);
    minCol_ = std::min(minCol_, other.minCol_);
    maxCol_ = std::max(maxCol_, other.maxCol_);
    rowSum_ += other.rowSum_;
    colSum_ += other.colSum_;
    count_ += other.count_;
  }

  // Sets the contour's box and means; a contour without pixels is left as it is.
  void describe(Contour& contour) const {
    if (count_ == 0) return;
    contour.left = minCol_;
    contour.top = minRow_;
    contour.spanCols = maxCol_ - minCol_;
    contour.spanRows = maxRow_ - minRow_;
    contour.meanCol = static_cast<float>(static_cast<double>(colSum_) / static_cast<double>(count_));
    contour.meanRow = static_cast<float>(static_cast<double>(rowSum_) / static_cast<double>(count_));
  }

 private:
  int32_t minRow_ = 0;
  int32_t maxRow_ = 0;
  int32_t minCol_ = 0;
  int32_t maxCol_ = 0;
  int64_t rowSum_ = 0;
  int64_t colSum_ = 0;
  int64_t count_ = 0;
};

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_CONTOUREXTENT_H
