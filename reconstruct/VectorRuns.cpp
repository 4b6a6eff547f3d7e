#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

constexpr int kLanes = 8;

double laneTotal(const double (&lanes)[kLanes]) {
  return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) + ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7]));
}

}  // namespace

[[gnu::target_clones("avx512f", "avx2", "default")]] double dotRun(const double* a, const double* b, std::size_t n) {
  double lanes[kLanes] = {};
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (int k = 0; k < kLanes; ++k) lanes[k] += a[i + k] * b[i + k];
  for (; i < n; ++i) lanes[0] += a[i] * b[i];
  return laneTotal(lanes);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] double stepRun(double alpha, const double* p, const double* q,
                                                                     double* x, double* r, std::size_t n) {
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

[[gnu::target_clones("avx512f", "avx2", "default")]] void directionRun(double beta, const double* z, double* p,
                                                                        std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) p[i] = z[i] + beta * p[i];
}

[[gnu::target_clones("avx512f", "avx2", "default")]] void narrowRun(const double* from, std::size_t n, float* to) {
  for (std::size_t i = 0; i < n; ++i) to[i] = static_cast<float>(from[i]);
}

[[gnu::target_clones("avx512f", "avx2", "default")]] double widenDotRun(const float* from, const double* r,
                                                                         std::size_t n, double* to) {
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

}  // namespace filamorph
