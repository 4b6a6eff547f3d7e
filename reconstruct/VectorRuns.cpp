#include "reconstruct/VectorRuns.h"

#include "reconstruct/VectorKernel.h"

namespace filamorph {

namespace {

constexpr int kLanes = 8;

double laneTotal(const double (&lanes)[kLanes]) {
  return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

}  // namespace

[[gnu::always_inline]] inline double dotRunBody(const double* a, const double* b, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) lanes[k] += a[i + k] * b[i + k];
  for (; i < n; ++i) lanes[0] += a[i] * b[i];
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, dotRun, (const double* a, const double* b, std::size_t n), (a, b, n))

[[gnu::always_inline]] inline double stepRunBody(double alpha, const float* p, const float* q, double* x, double* r,
                                                 float* narrow, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    for (int k = 0; k < kLanes; ++k) {
      x[i + k] += alpha * p[i + k];
      r[i + k] -= alpha * q[i + k];
      narrow[i + k] = static_cast<float>(r[i + k]);
      lanes[k] += r[i + k] * r[i + k];
    }
  }
  for (; i < n; ++i) {
    x[i] += alpha * p[i];
    r[i] -= alpha * q[i];
    narrow[i] = static_cast<float>(r[i]);
    lanes[0] += r[i] * r[i];
  }
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, stepRun,
                        (double alpha, const float* p, const float* q, double* x, double* r, float* narrow,
                         std::size_t n),
                        (alpha, p, q, x, r, narrow, n))

[[gnu::always_inline]] inline void directionRunBody(double beta, const float* z, float* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<float>(static_cast<double>(z[i]) + beta * p[i]);
}
FILAMORPH_VECTOR_KERNEL(void, directionRun, (double beta, const float* z, float* p, std::size_t n), (beta, z, p, n))

[[gnu::always_inline]] inline double narrowDotRunBody(const double* from, const float* with, float* to, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    for (int k = 0; k < kLanes; ++k) {
      to[i + k] = static_cast<float>(from[i + k]);
      lanes[k] += static_cast<double>(with[i + k]) * static_cast<double>(to[i + k]);
    }
  }
  for (; i < n; ++i) {
    to[i] = static_cast<float>(from[i]);
    lanes[0] += static_cast<double>(with[i]) * static_cast<double>(to[i]);
  }
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, narrowDotRun, (const double* from, const float* with, float* to, std::size_t n),
                        (from, with, to, n))

[[gnu::always_inline]] inline void narrowRunBody(const double* from, std::size_t n, float* to) {
  for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<float>(from[i]);
}
FILAMORPH_VECTOR_KERNEL(void, narrowRun, (const double* from, std::size_t n, float* to), (from, n, to))

[[gnu::always_inline]] inline void widenRunBody(const float* from, std::size_t n, double* to) {
  for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<double>(from[i]);
}
FILAMORPH_VECTOR_KERNEL(void, widenRun, (const float* from, std::size_t n, double* to), (from, n, to))

[[gnu::always_inline]] inline double widenedDotRunBody(const float* z, const double* r, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) lanes[k] += r[i + k] * static_cast<double>(z[i + k]);
  for (; i < n; ++i) lanes[0] += r[i] * static_cast<double>(z[i]);
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, widenedDotRun, (const float* z, const double* r, std::size_t n), (z, r, n))

[[gnu::always_inline]] inline double scaledProductRunBody(const float* minusProduct, const float* v, double scale,
                                                          const float* inverse, std::size_t n, float* w) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  const auto one = [&](std::size_t cell, double& lane) {
    const double product = -static_cast<double>(minusProduct[cell]);
    lane += static_cast<double>(v[cell]) * product;
    w[cell] = static_cast<float>(inverse[cell] * (scale * product));
  };
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) one(i + k, lanes[k]);
  for (; i < n; ++i) one(i, lanes[0]);
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, scaledProductRun,
                        (const float* minusProduct, const float* v, double scale, const float* inverse, std::size_t n,
                         float* w),
                        (minusProduct, v, scale, inverse, n, w))

[[gnu::always_inline]] inline double lanczosStepRunBody(double alpha, const float* v, double beta,
                                                        const float* previous, const float* diagonal, std::size_t n,
                                                        float* w) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  const auto one = [&](std::size_t cell, double& lane) {
    w[cell] = static_cast<float>(w[cell] - alpha * v[cell] - beta * previous[cell]);
    lane += static_cast<double>(w[cell]) * w[cell] * diagonal[cell];
  };
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) one(i + k, lanes[k]);
  for (; i < n; ++i) one(i, lanes[0]);
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, lanczosStepRun,
                        (double alpha, const float* v, double beta, const float* previous, const float* diagonal,
                         std::size_t n, float* w),
                        (alpha, v, beta, previous, diagonal, n, w))

[[gnu::always_inline]] inline double weightedSquaresRunBody(const float* u, const float* diagonal, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) lanes[k] += static_cast<double>(u[i + k]) * u[i + k] * diagonal[i + k];
  for (; i < n; ++i) lanes[0] += static_cast<double>(u[i]) * u[i] * diagonal[i];
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, weightedSquaresRun, (const float* u, const float* diagonal, std::size_t n),
                        (u, diagonal, n))

}  // namespace filamorph
