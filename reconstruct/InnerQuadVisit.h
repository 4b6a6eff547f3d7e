#ifndef FILAMORPH_RECONSTRUCT_INNERQUADVISIT_H
#define FILAMORPH_RECONSTRUCT_INNERQUADVISIT_H
// Four inner pixel visits of a band at once, one in each lane of a vector of four doubles.

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "reconstruct/FillInSweep.h"
#include "reconstruct/InnerPairVisit.h"

// The code between these runs only where the processor has AVX-512VL, whose
// 32 vector registers hold the windows of a band's quads; the sweeper checks
// before it takes that path.
#if defined(__clang__)
#define FILAMORPH_BEGIN_QUAD_CODE \
  _Pragma("clang attribute push(__attribute__((target(\"avx2,avx512f,avx512vl\"))), apply_to = function)")
#define FILAMORPH_END_QUAD_CODE _Pragma("clang attribute pop")
#else
#define FILAMORPH_BEGIN_QUAD_CODE _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,avx512f,avx512vl\")")
#define FILAMORPH_END_QUAD_CODE _Pragma("GCC pop_options")
#endif

FILAMORPH_BEGIN_QUAD_CODE

namespace filamorph {

// The inner coefficients of four rows, one table entry per set of masks: bit
// j of the entry's number is lane j's mask.
struct InnerQuadCoefficients {
  __m256d mask;
  __m256d own;
  __m256d axial;
  __m256d diagonal;
  __m256d twoStep;
  __m256d step;
};
using InnerQuadTable = std::array<InnerQuadCoefficients, 16>;

inline void makeInnerQuadTable(const std::array<InnerCoefficients, 2>& inner, InnerQuadTable& table) {
  for (std::size_t masks = 0; masks < table.size(); ++masks) {
    const auto lane = [&](std::size_t j) -> const InnerCoefficients& { return inner[(masks >> j) & 1]; };
    const auto each = [&](double InnerCoefficients::*field) {
      return _mm256_set_pd(lane(3).*field, lane(2).*field, lane(1).*field, lane(0).*field);
    };
    table[masks] = {each(&InnerCoefficients::mask),    each(&InnerCoefficients::own),
                    each(&InnerCoefficients::axial),   each(&InnerCoefficients::diagonal),
                    each(&InnerCoefficients::twoStep), each(&InnerCoefficients::step)};
  }
}

// What four rows carry from one step to the next, as InnerPairWindow.
struct InnerQuadWindow {
  __m256d left2;  // (0, -2), (0, -1): this sweep's values
  __m256d left1;
  __m256d own;  // (0, 0), (0, +1): the source's
  __m256d right1;
  __m256d aboveLeft;  // (-1, -1), (-1, 0): this sweep's
  __m256d above;
  __m256d belowLeft;  // (+1, -1), (+1, 0): the source's
  __m256d below;
};

// Lane j is the cell j x rowOffset cells on from `cell`: row j of the four,
// kBandLag x j columns back.
[[gnu::always_inline]] inline __m256d quadAt(const double* cell, std::ptrdiff_t rowOffset) {
  return _mm256_set_pd(cell[3 * rowOffset], cell[2 * rowOffset], cell[rowOffset], cell[0]);
}

inline InnerQuadWindow startInnerQuadWindow(const SweepPlanes& planes, std::ptrdiff_t index, std::ptrdiff_t rowOffset) {
  const std::ptrdiff_t stride = planes.cols;
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  return {quadAt(planes.target + index - 2, rowOffset),
          quadAt(planes.target + index - 1, rowOffset),
          quadAt(here, rowOffset),
          quadAt(here + 1, rowOffset),
          quadAt(above - 1, rowOffset),
          quadAt(above, rowOffset),
          quadAt(below - 1, rowOffset),
          quadAt(below, rowOffset)};
}

[[gnu::always_inline]] inline __m256d addProduct(__m256d sum, __m256d coefficient, __m256d value) {
  return _mm256_add_pd(sum, _mm256_mul_pd(coefficient, value));
}

// Visits the four pixels at `index` + j x rowOffset and moves their window
// one column on; as visitInnerPair, lane by lane. The changes go to
// change[j x rowOffset].
[[gnu::always_inline]] inline void visitInnerQuad(const SweepPlanes& planes, std::ptrdiff_t index,
                                                  std::ptrdiff_t rowOffset, const InnerQuadTable& table,
                                                  InnerQuadWindow& window, float* change) {
  const std::ptrdiff_t stride = planes.cols;
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  const uint8_t* const sparseness = planes.sparseness + index;
  const uint8_t* const depthLevels = planes.depth + index;
  const std::size_t masks = static_cast<std::size_t>(sparseness[0] != 0) |
                            static_cast<std::size_t>(sparseness[rowOffset] != 0) << 1 |
                            static_cast<std::size_t>(sparseness[2 * rowOffset] != 0) << 2 |
                            static_cast<std::size_t>(sparseness[3 * rowOffset] != 0) << 3;
  const InnerQuadCoefficients& k = table[masks];
  const uint32_t depthBytes = uint32_t{depthLevels[0]} | uint32_t{depthLevels[rowOffset]} << 8 |
                              uint32_t{depthLevels[2 * rowOffset]} << 16 | uint32_t{depthLevels[3 * rowOffset]} << 24;
  const __m256d depth = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(depthBytes))));

  const __m256d own = window.own;
  const __m256d aboveRight = quadAt(above + 1, rowOffset);
  const __m256d belowRight = quadAt(below + 1, rowOffset);
  const __m256d right2 = quadAt(here + 2, rowOffset);
  __m256d residual = _mm256_mul_pd(k.mask, _mm256_sub_pd(own, depth));
  residual = addProduct(residual, k.own, own);
  residual = addProduct(residual, k.twoStep, quadAt(above - stride, rowOffset));
  residual = addProduct(residual, k.diagonal, window.aboveLeft);
  residual = addProduct(residual, k.axial, window.above);
  residual = addProduct(residual, k.diagonal, aboveRight);
  residual = addProduct(residual, k.diagonal, window.belowLeft);
  residual = addProduct(residual, k.axial, window.below);
  residual = addProduct(residual, k.diagonal, belowRight);
  residual = addProduct(residual, k.twoStep, quadAt(below + stride, rowOffset));
  residual = addProduct(residual, k.axial, window.right1);
  residual = addProduct(residual, k.twoStep, right2);
  residual = addProduct(residual, k.twoStep, window.left2);
  residual = addProduct(residual, k.axial, window.left1);
  const __m128 updated = clampGrayLevels(_mm256_cvtpd_ps(_mm256_sub_pd(own, _mm256_mul_pd(residual, k.step))));

  const __m256d stored = _mm256_cvtps_pd(updated);
  const __m128d upperPair = _mm256_castpd256_pd128(stored);
  const __m128d lowerPair = _mm256_extractf128_pd(stored, 1);
  double* const target = planes.target + index;
  _mm_store_sd(target, upperPair);
  _mm_storeh_pd(target + rowOffset, upperPair);
  _mm_store_sd(target + 2 * rowOffset, lowerPair);
  _mm_storeh_pd(target + 3 * rowOffset, lowerPair);
  window = {window.left1, stored, window.right1, right2, window.above, aboveRight, window.below, belowRight};

  const __m128 changes = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(updated, _mm256_cvtpd_ps(own)));
  _mm_store_ss(change, changes);
  _mm_store_ss(change + rowOffset, _mm_movehdup_ps(changes));
  _mm_store_ss(change + 2 * rowOffset, _mm_movehl_ps(changes, changes));
  _mm_store_ss(change + 3 * rowOffset, _mm_shuffle_ps(changes, changes, 3));
}

}  // namespace filamorph

FILAMORPH_END_QUAD_CODE

#endif  // FILAMORPH_RECONSTRUCT_INNERQUADVISIT_H
