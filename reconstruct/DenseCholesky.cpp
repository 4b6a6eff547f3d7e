#include "reconstruct/DenseCholesky.h"

#include <cmath>
#include <utility>

namespace filamorph {

void DenseCholesky::factor(std::vector<double> matrix, std::size_t n) {
  constexpr double kSmallestPivotShare = 1e-12;
  n_ = n;
  lower_ = std::move(matrix);
  for (std::size_t j = 0; j < n; ++j) {
    double* rowJ = &lower_[j * n];
    double pivot = rowJ[j];
    for (std::size_t k = 0; k < j; ++k) pivot -= rowJ[k] * rowJ[k];
    const double floor = kSmallestPivotShare * std::fabs(rowJ[j]) + 1e-300;
    rowJ[j] = std::sqrt(pivot > floor ? pivot : floor);
    for (std::size_t i = j + 1; i < n; ++i) {
      double* rowI = &lower_[i * n];
      double sum = rowI[j];
      for (std::size_t k = 0; k < j; ++k) sum -= rowI[k] * rowJ[k];
      rowI[j] = sum / rowJ[j];
    }
  }
}

void DenseCholesky::solve(std::vector<double>& values) const {
  for (std::size_t i = 0; i < n_; ++i) {
    const double* row = &lower_[i * n_];
    double sum = values[i];
    for (std::size_t k = 0; k < i; ++k) sum -= row[k] * values[k];
    values[i] = sum / row[i];
  }
  for (std::size_t i = n_; i-- > 0;) {
    double sum = values[i];
    for (std::size_t k = i + 1; k < n_; ++k) sum -= lower_[k * n_ + i] * values[k];
    values[i] = sum / lower_[i * n_ + i];
  }
}

}  // namespace filamorph
