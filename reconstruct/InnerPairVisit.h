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

// clampGrayLevel, lane by lane: not at least 0 (NaN included) becomes +0,
// above 255 becomes 255; -0 stays.
[[gnu::always_inline]] inline __m128 clampGrayLevels(__m128 levels) {
  const __m128 atLeastZero = _mm_and_ps(levels, _mm_cmpge_ps(levels, _mm_setzero_ps()));
  return _mm_min_ps(atLeastZero, _mm_set1_ps(255.0f));
}

// The values a pair of rows carries from one step to the next. A visit reads
// a cross of cells two wide each way; those of the three middle columns that
// the pair's next visits read again are kept here rather than loaded anew. A
// kept cell still holds its value when it is used: the source cells right of
// and below a visit are visited only after every visit that reads them, and
// the cells above have had their visit in this sweep already.
struct InnerPairWindow {
  __m128d left2;  // (0, -2), (0, -1): this sweep's values
  __m128d left1;
  __m128d own;  // (0, 0), (0, +1): the source's
  __m128d right1;
  __m128d aboveLeft;  // (-1, -1), (-1, 0): this sweep's
  __m128d above;
  __m128d belowLeft;  // (+1, -1), (+1, 0): the source's
  __m128d below;
};

// The low lane of a pair is the pixel at `index`, the high lane the pixel
// `pairOffset` cells further on (the next row of the band, kBandLag columns
// back).
[[gnu::always_inline]] inline __m128d pairAt(const double* cell, std::ptrdiff_t pairOffset) {
  return _mm_loadh_pd(_mm_load_sd(cell), cell + pairOffset);
}

// The window of the pair whose next visit is at `index`.
inline InnerPairWindow startInnerPairWindow(const SweepPlanes& planes, std::ptrdiff_t index,
                                            std::ptrdiff_t pairOffset) {
  const std::ptrdiff_t stride = planes.cols;
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  return {pairAt(planes.target + index - 2, pairOffset),
          pairAt(planes.target + index - 1, pairOffset),
          pairAt(here, pairOffset),
          pairAt(here + 1, pairOffset),
          pairAt(above - 1, pairOffset),
          pairAt(above, pairOffset),
          pairAt(below - 1, pairOffset),
          pairAt(below, pairOffset)};
}

// Visits the pair at `index` and moves its window one column on. Each lane
// does exactly the arithmetic of a single inner visit, in the same order; the
// lanes share no value. The two changes go to change[0] and
// change[pairOffset].
[[gnu::always_inline]] inline void visitInnerPair(const SweepPlanes& planes, std::ptrdiff_t index,
                                                  std::ptrdiff_t pairOffset, const InnerPairTable& table,
                                                  InnerPairWindow& window, float* change) {
  const std::ptrdiff_t stride = planes.cols;
  const auto at = [pairOffset](const double* cell) { return pairAt(cell, pairOffset); };
  const auto add = [](__m128d sum, __m128d coefficient, __m128d value) {
    return _mm_add_pd(sum, _mm_mul_pd(coefficient, value));
  };
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  const InnerPairCoefficients& k = table[static_cast<std::size_t>(planes.sparseness[index] != 0) +
                                         2 * static_cast<std::size_t>(planes.sparseness[index + pairOffset] != 0)];
  const __m128d own = window.own;
  const __m128d aboveRight = at(above + 1);
  const __m128d belowRight = at(below + 1);
  const __m128d right2 = at(here + 2);
  const __m128d depth = _mm_set_pd(planes.depth[index + pairOffset], planes.depth[index]);
  __m128d residual = _mm_mul_pd(k.mask, _mm_sub_pd(own, depth));
  residual = add(residual, k.own, own);
  residual = add(residual, k.twoStep, at(above - stride));
  residual = add(residual, k.diagonal, window.aboveLeft);
  residual = add(residual, k.axial, window.above);
  residual = add(residual, k.diagonal, aboveRight);
  residual = add(residual, k.diagonal, window.belowLeft);
  residual = add(residual, k.axial, window.below);
  residual = add(residual, k.diagonal, belowRight);
  residual = add(residual, k.twoStep, at(below + stride));
  residual = add(residual, k.axial, window.right1);
  residual = add(residual, k.twoStep, right2);
  residual = add(residual, k.twoStep, window.left2);
  residual = add(residual, k.axial, window.left1);
  const __m128 updated = clampGrayLevels(_mm_cvtpd_ps(_mm_sub_pd(own, _mm_mul_pd(residual, k.step))));

  const __m128d stored = _mm_cvtps_pd(updated);
  _mm_store_sd(planes.target + index, stored);
  _mm_storeh_pd(planes.target + index + pairOffset, stored);
  window = {window.left1, stored, window.right1, right2, window.above, aboveRight, window.below, belowRight};
  const __m128 changes = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(updated, _mm_cvtpd_ps(own)));
  _mm_store_ss(change, changes);
  _mm_store_ss(change + pairOffset, _mm_shuffle_ps(changes, changes, 1));
}

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_INNERPAIRVISIT_H
