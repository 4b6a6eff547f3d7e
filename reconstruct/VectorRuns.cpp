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

[[gnu::always_inline]] inline double stepRunBody(double alpha, const double* p, const double* q, double* x, double* r,
                                                 std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    for (int k = 0; k < kLanes; ++k) {
      x[i + k] += alpha * p[i + k];
      r[i + k] -= alpha * q[i + k];
      lanes[k] += r[i + k] * r[i + k];
    }
  }
  for (; i < n; ++i) {
    x[i] += alpha * p[i];
    r[i] -= alpha * q[i];
    lanes[0] += r[i] * r[i];
  }
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, stepRun,
                        (double alpha, const double* p, const double* q, double* x, double* r, std::size_t n),
                        (alpha, p, q, x, r, n))

[[gnu::always_inline]] inline void directionRunBody(double beta, const double* z, double* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = z[i] + beta * p[i];
}
FILAMORPH_VECTOR_KERNEL(void, directionRun, (double beta, const double* z, double* p, std::size_t n), (beta, z, p, n))

[[gnu::always_inline]] inline void narrowRunBody(const double* from, std::size_t n, float* to) {
  for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<float>(from[i]);
}
FILAMORPH_VECTOR_KERNEL(void, narrowRun, (const double* from, std::size_t n, float* to), (from, n, to))

[[gnu::always_inline]] inline double widenDotRunBody(const float* from, const double* r, std::size_t n, double* to) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    for (int k = 0; k < kLanes; ++k) {
      to[i + k] = from[i + k];
      lanes[k] += r[i + k] * to[i + k];
    }
  }
  for (; i < n; ++i) {
    to[i] = from[i];
    lanes[0] += r[i] * to[i];
  }
  return laneTotal(lanes);
}
FILAMORPH_VECTOR_KERNEL(double, widenDotRun, (const float* from, const double* r, std::size_t n, double* to),
                        (from, r, n, to))

}  // namespace filamorph
