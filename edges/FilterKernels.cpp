#include "edges/FilterKernels.h"

#include <cmath>
#include <cstdlib>

// Arithmetic convention of every formula here, so that each tap comes out the
// same on every platform: an operation between two floats is done in float,
// one with a double operand in double; the elementary functions take and give
// double; every constant and every tap is rounded to float when stored.
// Literals are written with the type of their other operand.

namespace filamorph {
namespace {

double dbl(float value) { return static_cast<double>(value); }
float sgn(int32_t x) { return x > 0 ? 1.0f : (x < 0 ? -1.0f : 0.0f); }
float cityBlock(int32_t j, int32_t i) { return static_cast<float>(std::abs(i) + std::abs(j)); }

}  // namespace

FilterConstants filterConstants(float lambda, float tau) {
  FilterConstants k;
  k.d = lambda * tau;
  k.b = lambda * (1.0f - tau);
  k.discriminant = k.b * k.b - 4.0f * k.d;
  const float d = k.d;
  const float b = k.b;
  const float D = k.discriminant;

  if (d == 0.0f) {
    k.filterCase = FilterCase::SingleExponential;
    k.a = static_cast<float>(1.0 / std::sqrt(dbl(2.0f * b)));
  } else if (D > 0.0f) {
    k.filterCase = FilterCase::TwoExponentials;
    const double rootD = std::sqrt(dbl(D));
    k.r1 = static_cast<float>(std::sqrt((rootD + b) / (4.0f * d)));
    k.r2 = static_cast<float>(std::sqrt((b - rootD) / (4.0f * d)));
    k.c = static_cast<float>((2.0f * d) / rootD);
  } else if (D < 0.0f) {
    k.filterCase = FilterCase::DampedOscillation;
    k.theta = b == 0.0f ? 0.7853982f : static_cast<float>(0.5 * std::atan(std::sqrt(std::fabs(dbl(D))) / b));
    k.q = static_cast<float>(std::sqrt(std::sqrt(dbl(4.0f * d))));
    const double cosTheta = std::cos(dbl(k.theta));
    const double sinTheta = std::sin(dbl(k.theta));
    const double sinTwoTheta = std::sin(dbl(2.0f * k.theta));
    k.F = static_cast<float>(4.0 / (std::sqrt(dbl(d)) * (cosTheta * cosTheta * cosTheta) * (sinTwoTheta * sinTwoTheta)));
    k.w = static_cast<float>(sinTheta / k.q);
    k.alpha = static_cast<float>(cosTheta / k.q);
    k.A = static_cast<float>(k.F * (sinTheta * k.w - cosTheta / k.q));
    k.B = static_cast<float>(k.F * (sinTheta / k.q + cosTheta * k.w));
  } else if (D == 0.0f) {
    k.filterCase = FilterCase::DoubleRoot;
    k.m = static_cast<float>(1.0 / std::sqrt(dbl(b)));
  }
  return k;
}

float smoothingTap(const FilterConstants& k, int32_t j, int32_t i) {
  const float s = cityBlock(j, i);
  switch (k.filterCase) {
    case FilterCase::SingleExponential:
      return static_cast<float>((0.5f / k.b) * std::exp(dbl(-k.a * s)));
    case FilterCase::TwoExponentials:
      return static_cast<float>(k.c * (k.r1 * std::exp(dbl(-k.r2 * s)) - k.r2 * std::exp(dbl(-k.r1 * s))));
    case FilterCase::DampedOscillation: {
      const double wave = std::cos(dbl(k.theta)) * std::cos(dbl(k.w * s)) + std::sin(dbl(k.theta)) * std::sin(dbl(k.w * s));
      return static_cast<float>(k.F * wave * std::exp(dbl(-k.alpha * s)));
    }
    case FilterCase::DoubleRoot: {
      const float aj = static_cast<float>(std::abs(j));
      const float ai = static_cast<float>(std::abs(i));
      const float prefactor = (1.0f / (4.0f * k.b)) * (1.0f + k.m * aj / 2.0f) * (1.0f + k.m * ai / 2.0f);
      return static_cast<float>(prefactor * std::exp(dbl(-k.m * s)));
    }
    case FilterCase::Undefined:
      break;
  }
  return 0.0f;
}

float verticalDerivativeTap(const FilterConstants& k, int32_t j, int32_t i) {
  const float s = cityBlock(j, i);
  switch (k.filterCase) {
    case FilterCase::SingleExponential:
      return static_cast<float>(sgn(j) * (-0.5 / (k.b * std::sqrt(dbl(2.0f * k.b)))) * std::exp(dbl(-k.a * s)));
    case FilterCase::TwoExponentials: {
      const float prefactor = sgn(j) * k.c * k.r1 * k.r2;
      return static_cast<float>(prefactor * (std::exp(dbl(-k.r1 * s)) - std::exp(dbl(-k.r2 * s))));
    }
    case FilterCase::DampedOscillation: {
      const double wave = k.A * std::cos(dbl(k.w * s)) + k.B * std::sin(dbl(k.w * s));
      return static_cast<float>(sgn(j) * wave * std::exp(dbl(-k.alpha * s)));
    }
    case FilterCase::DoubleRoot: {
      const float aj = static_cast<float>(std::abs(j));
      const float ai = static_cast<float>(std::abs(i));
      const float prefactor = sgn(j) * (-1.0f / (4.0f * k.b * k.b)) * aj * (1.0f + k.m * ai);
      return static_cast<float>(prefactor * std::exp(dbl(-k.m * s)));
    }
    case FilterCase::Undefined:
      break;
  }
  return 0.0f;
}

}  // namespace filamorph
