#include "reconstruct/BandCholesky.h"

#include <algorithm>
#include <cmath>

namespace filamorph {

namespace {

// Eight partial sums in a fixed order, which the compiler may run as vector
// lanes: the same result with any instruction set.
double dot(const double* a, const double* b, std::size_t n) {
  double s[8] = {};
  std::size_t k = 0;
  for (; k + 8 <= n; k += 8)
    for (std::size_t lane = 0; lane < 8; ++lane) s[lane] += a[k + lane] * b[k + lane];
  for (; k < n; ++k) s[0] += a[k] * b[k];
  return ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
}

}  // namespace

void BandCholesky::reset(std::size_t n, std::size_t width) {
  n_ = n;
  width_ = width;
  band_.assign(n * (width + 1), 0.0);
}

void BandCholesky::factor() {
  constexpr double kSmallestPivotShare = 1e-12;
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = i > width_ ? i - width_ : 0;
    double* rowI = &at(i, first);
    for (std::size_t j = first; j < i; ++j) {
      const std::size_t common = std::max(first, j > width_ ? j - width_ : 0);
      const double* rowJ = &at(j, common);
      const double* fromI = rowI + (common - first);
      rowI[j - first] = (rowI[j - first] - dot(fromI, rowJ, j - common)) / entry(j, j);
    }
    const double pivot = rowI[i - first] - dot(rowI, rowI, i - first);
    const double floor = kSmallestPivotShare * std::fabs(rowI[i - first]) + 1e-300;
    rowI[i - first] = std::sqrt(pivot > floor ? pivot : floor);
  }
}

void BandCholesky::solve(std::vector<double>& values) const {
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = i > width_ ? i - width_ : 0;
    values[i] = (values[i] - dot(&entry(i, first), &values[first], i - first)) / entry(i, i);
  }
  for (std::size_t i = n_; i-- > 0;) {
    const std::size_t last = std::min(n_ - 1, i + width_);
    double sum = values[i];
    for (std::size_t k = i + 1; k <= last; ++k) sum -= entry(k, i) * values[k];
    values[i] = sum / entry(i, i);
  }
}

}  // namespace filamorph
