#ifndef FILAMORPH_MODEL_LINEARSOLVE_H
#define FILAMORPH_MODEL_LINEARSOLVE_H
// Gaussian elimination without pivoting on a system of at most four unknowns,
// for plain floats or for vectors of floats holding one system per lane.

#include <cstdint>

namespace filamorph {

using FitLanes = float __attribute__((vector_size(16)));

// value where the divisor is not zero, else 0.
inline float unlessZeroDivisor(float divisor, float value) { return divisor == 0.0f ? 0.0f : value; }
inline FitLanes unlessZeroDivisor(FitLanes divisor, FitLanes value) {
  return divisor == 0.0f ? FitLanes{} : value;
}

// Solves the first n rows and columns of system with rightHandSide into
// solution. Forward elimination: a zero pivot eliminates nothing; back
// substitution: an unknown over a zero diagonal is taken as 0. Each lane of a
// vector does the float operations of the scalar solve in the same order.
template <typename Matrix, typename Vector>
void solveWithoutPivoting(Matrix& system, Vector& rightHandSide, Vector& solution, int32_t n) {
  for (int32_t i = 0; i + 1 < n; ++i) {
    for (int32_t r = i + 1; r < n; ++r) {
      const auto factor = unlessZeroDivisor(system[i][i], -system[r][i] / system[i][i]);
      system[r][i] = decltype(factor){};
      for (int32_t c = i + 1; c < n; ++c) system[r][c] = system[r][c] + system[i][c] * factor;
      rightHandSide[r] = rightHandSide[r] + rightHandSide[i] * factor;
    }
  }
  for (int32_t i = n - 1; i >= 0; --i) {
    auto sum = rightHandSide[i];
    for (int32_t c = i + 1; c < n; ++c) sum = sum - system[i][c] * solution[c];
    solution[i] = unlessZeroDivisor(system[i][i], sum / system[i][i]);
  }
}

}  // namespace filamorph

#endif  // FILAMORPH_MODEL_LINEARSOLVE_H
