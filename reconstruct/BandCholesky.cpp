#include "reconstruct/BandCholesky.h"

#include <algorithm>
#include <cmath>

namespace filamorph {

BandCholesky::BandCholesky(std::size_t n, std::size_t width) : n_(n), width_(width), band_(n * (width + 1), 0.0) {}

void BandCholesky::factor() {
  constexpr double kSmallestPivotShare = 1e-12;
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = i > width_ ? i - width_ : 0;
    double* rowI = &at(i, first);
    for (std::size_t j = first; j < i; ++j) {
      const std::size_t common = std::max(first, j > width_ ? j - width_ : 0);
      const double* rowJ = &at(j, common);
      const double* fromI = rowI + (common - first);
      double sum = rowI[j - first];
      for (std::size_t k = 0; k < j - common; ++k) sum -= fromI[k] * rowJ[k];
      rowI[j - first] = sum / entry(j, j);
    }
    double pivot = rowI[i - first];
    for (std::size_t k = 0; k < i - first; ++k) pivot -= rowI[k] * rowI[k];
    const double floor = kSmallestPivotShare * std::fabs(rowI[i - first]) + 1e-300;
    rowI[i - first] = std::sqrt(pivot > floor ? pivot : floor);
  }
}

void BandCholesky::solve(std::vector<double>& values) const {
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = i > width_ ? i - width_ : 0;
    double sum = values[i];
    for (std::size_t k = first; k < i; ++k) sum -= entry(i, k) * values[k];
    values[i] = sum / entry(i, i);
  }
  for (std::size_t i = n_; i-- > 0;) {
    const std::size_t last = std::min(n_ - 1, i + width_);
    double sum = values[i];
    for (std::size_t k = i + 1; k <= last; ++k) sum -= entry(k, i) * values[k];
    values[i] = sum / entry(i, i);
  }
}

}  // namespace filamorph
