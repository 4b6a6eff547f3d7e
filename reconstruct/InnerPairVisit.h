#ifndef FILAMORPH_RECONSTRUCT_INNERPAIRVISIT_H
#define FILAMORPH_RECONSTRUCT_INNERPAIRVISIT_H
// Two inner pixel visits of a band at once, one in each lane of a vector of two doubles.

#include <emmintrin.h>

#include <array>
#include <cstddef>

#include "reconstruct/FillInSweep.h"

namespace filamorph {

// The inner coefficients of a pair of pixels, one table entry per pair of
// masks: entry (upper mask) + 2 x (lower mask), each coefficient in both lanes.
struct InnerPairCoefficients {
  __m128d mask;
  __m128d own;
  __m128d axial;
  __m128d diagonal;
  __m128d twoStep;
  __m128d step;
};
using InnerPairTable = std::array<InnerPairCoefficients, 4>;

inline InnerPairTable makeInnerPairTable(const std::array<InnerCoefficients, 2>& inner) {
  InnerPairTable table;
  for (std::size_t lower = 0; lower < 2; ++lower) {
    for (std::size_t upper = 0; upper < 2; ++upper) {
      const InnerCoefficients& u = inner[upper];
      const InnerCoefficients& l = inner[lower];
      table[upper + 2 * lower] = {_mm_set_pd(l.mask, u.mask),       _mm_set_pd(l.own, u.own),
                                  _mm_set_pd(l.axial, u.axial),     _mm_set_pd(l.diagonal, u.diagonal),
                                  _mm_set_pd(l.twoStep, u.twoStep), _mm_set_pd(l.step, u.step)};
    }
  }
  return table;
}

// The low lane visits the pixel at `index`, the high lane the pixel
// `pairOffset` cells further on (the next row of the band, kBandLag columns
// back). Each lane does exactly the arithmetic of a single inner visit, in the
// same order; the lanes share no value. The two changes go to change[0] and
// change[pairOffset].
[[gnu::always_inline]] inline void visitInnerPair(const SweepPlanes& planes, std::ptrdiff_t index,
                                                  std::ptrdiff_t pairOffset, const InnerPairTable& table,
                                                  __m128d& left1, __m128d& left2, float* change) {
  const std::ptrdiff_t stride = planes.cols;
  const auto pairAt = [pairOffset](const double* cell) { return _mm_loadh_pd(_mm_load_sd(cell), cell + pairOffset); };
  const auto add = [](__m128d sum, __m128d coefficient, __m128d value) {
    return _mm_add_pd(sum, _mm_mul_pd(coefficient, value));
  };
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  const InnerPairCoefficients& k = table[static_cast<std::size_t>(planes.sparseness[index] != 0) +
                                         2 * static_cast<std::size_t>(planes.sparseness[index + pairOffset] != 0)];
  const __m128d own = pairAt(here);
  const __m128d depth = _mm_set_pd(planes.depth[index + pairOffset], planes.depth[index]);
  __m128d residual = _mm_mul_pd(k.mask, _mm_sub_pd(own, depth));
  residual = add(residual, k.own, own);
  residual = add(residual, k.twoStep, pairAt(above - stride));
  residual = add(residual, k.diagonal, pairAt(above - 1));
  residual = add(residual, k.axial, pairAt(above));
  residual = add(residual, k.diagonal, pairAt(above + 1));
  residual = add(residual, k.diagonal, pairAt(below - 1));
  residual = add(residual, k.axial, pairAt(below));
  residual = add(residual, k.diagonal, pairAt(below + 1));
  residual = add(residual, k.twoStep, pairAt(below + stride));
  residual = add(residual, k.axial, pairAt(here + 1));
  residual = add(residual, k.twoStep, pairAt(here + 2));
  residual = add(residual, k.twoStep, left2);
  residual = add(residual, k.axial, left1);
  __m128 updated = _mm_cvtpd_ps(_mm_sub_pd(own, _mm_mul_pd(residual, k.step)));

  // clampGrayLevel, lane by lane: not at least 0 (NaN included) becomes 0, above
  // 255 becomes 255.
  updated = _mm_and_ps(updated, _mm_cmpge_ps(updated, _mm_setzero_ps()));
  const __m128 top = _mm_set1_ps(255.0f);
  const __m128 aboveTop = _mm_cmpgt_ps(updated, top);
  updated = _mm_or_ps(_mm_andnot_ps(aboveTop, updated), _mm_and_ps(aboveTop, top));

  const __m128d stored = _mm_cvtps_pd(updated);
  _mm_store_sd(planes.target + index, stored);
  _mm_storeh_pd(planes.target + index + pairOffset, stored);
  left2 = left1;
  left1 = stored;
  const __m128 changes = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(updated, _mm_cvtpd_ps(own)));
  _mm_store_ss(change, changes);
  _mm_store_ss(change + pairOffset, _mm_shuffle_ps(changes, changes, 1));
}

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_INNERPAIRVISIT_H
