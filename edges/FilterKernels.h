#ifndef FILAMORPH_EDGES_FILTERKERNELS_H
#define FILAMORPH_EDGES_FILTERKERNELS_H
// The closed-form smoothing and derivative filters, evaluated tap by tap.

#include <cstdint>

namespace filamorph {

// Which closed form the parameters select: the roots of the filter's
// characteristic polynomial are real and distinct, complex, or double;
// a zero product lambda x tau degenerates to a single exponential.
enum class FilterCase {
  SingleExponential,   // d = 0
  TwoExponentials,     // discriminant > 0
  DampedOscillation,   // discriminant < 0
  DoubleRoot,          // discriminant = 0
  Undefined,           // lambda or tau not a number: every tap is 0
};

// The filter constants for one pair (lambda, tau). Every constant is held as
// a float, exactly as the taps use it; only those of the selected case are set.
struct FilterConstants {
  FilterCase filterCase = FilterCase::Undefined;
  float d = 0.0f;             // lambda x tau
  float b = 0.0f;             // lambda x (1 - tau)
  float discriminant = 0.0f;  // b^2 - 4d
  float a = 0.0f;             // single exponential
  float r1 = 0.0f, r2 = 0.0f, c = 0.0f;  // two exponentials
  float theta = 0.0f, q = 0.0f, F = 0.0f, w = 0.0f, alpha = 0.0f, A = 0.0f, B = 0.0f;  // oscillation
  float m = 0.0f;             // double root
};

FilterConstants filterConstants(float lambda, float tau);

// Taps at row offset j and column offset i from the kernel's middle. The
// vertical derivative is antisymmetric in j; the horizontal one is its
// transpose, verticalDerivativeTap(k, i, j).
float smoothingTap(const FilterConstants& k, int32_t j, int32_t i);
float verticalDerivativeTap(const FilterConstants& k, int32_t j, int32_t i);

}  // namespace filamorph

#endif  // FILAMORPH_EDGES_FILTERKERNELS_H
