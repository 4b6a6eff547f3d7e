#include "reconstruct/DenseCholesky.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace filamorph {

void DenseCholesky::factor(std::vector<double> matrix, std::size_t n) {
  constexpr double kSmallestPivotShare = 1e-12;
  n_ = n;
  lower_ = std::move(matrix);
  // The factor keeps the envelope of the lower triangle: entries left of a
  // row's first non-zero stay 0, and no loop needs to visit them: a banded
  // matrix saves most of the work.
  first_.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t j = 0;
    while (j < i && lower_[i * n + j] == 0.0) ++j;
    first_[i] = j;
  }
  last_.resize(n);
  for (std::size_t i = 0; i < n; ++i) last_[i] = i;
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t i = first_[k]; i < k; ++i) last_[i] = std::max(last_[i], k);
  for (std::size_t j = 0; j < n; ++j) {
    double* rowJ = &lower_[j * n];
    double pivot = rowJ[j];
    for (std::size_t k = first_[j]; k < j; ++k) pivot -= rowJ[k] * rowJ[k];
    const double floor = kSmallestPivotShare * std::fabs(rowJ[j]) + 1e-300;
    rowJ[j] = std::sqrt(pivot > floor ? pivot : floor);
    for (std::size_t i = j + 1; i < n; ++i) {
      if (first_[i] > j) continue;
      double* rowI = &lower_[i * n];
      double sum = rowI[j];
      for (std::size_t k = std::max(first_[i], first_[j]); k < j; ++k) sum -= rowI[k] * rowJ[k];
      rowI[j] = sum / rowJ[j];
    }
  }
}

void DenseCholesky::solve(std::vector<double>& values) const {
  for (std::size_t i = 0; i < n_; ++i) {
    const double* row = &lower_[i * n_];
    double sum = values[i];
    for (std::size_t k = first_[i]; k < i; ++k) sum -= row[k] * values[k];
    values[i] = sum / row[i];
  }
  for (std::size_t i = n_; i-- > 0;) {
    double sum = values[i];
    for (std::size_t k = i + 1; k <= last_[i]; ++k)
      if (first_[k] <= i) sum -= lower_[k * n_ + i] * values[k];
    values[i] = sum / lower_[i * n_ + i];
  }
}

}  // namespace filamorph
