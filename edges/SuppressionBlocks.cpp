// The suppression blocks: every lane computes the two interpolated differences
// of all eight direction cases and keeps those of its own case, so that no
// lane branches; the case tests and the arithmetic are those of the pixel code.
#include "edges/SuppressionBlocks.h"

#include "base/ProcessorFeatures.h"
#include "edges/EdgeDetector.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace filamorph {

#if defined(__x86_64__) || defined(__i386__)
namespace {

constexpr int32_t kBlock = 16;
// The zero-masked forms of the intrinsics with all lanes on: the plain forms
// start from an undefined register, which the compiler warns about.
constexpr __mmask16 kAllLanes = 0xFFFF;

[[gnu::target("avx512f")]] inline __m512 negated(__m512 v) {
  return _mm512_castsi512_ps(_mm512_xor_si512(_mm512_castps_si512(v), _mm512_set1_epi32(INT32_MIN)));
}
}  // namespace

bool suppressionBlocksAvailable() {
  return processorFeatures().avx512f;
}

[[gnu::target("avx512f")]] int32_t magnitudeBlocks(const float* gx, const float* gy, float* magnitude, int32_t cols) {
  int32_t c = 0;
  for (; c + kBlock <= cols; c += kBlock) {
    const __m512 x = _mm512_loadu_ps(gx + c);
    const __m512 y = _mm512_loadu_ps(gy + c);
    _mm512_storeu_ps(magnitude + c,
                     _mm512_maskz_sqrt_ps(kAllLanes, _mm512_add_ps(_mm512_mul_ps(x, x), _mm512_mul_ps(y, y))));
  }
  return c;
}

[[gnu::target("avx512f")]] int32_t candidateBlocks(const float* above, const float* here, const float* below,
                                                   const float* gx, const float* gy, uint8_t* candidates,
                                                   int32_t cols) {
  const __m512 zero = _mm512_setzero_ps();
  const __m512 one = _mm512_set1_ps(1.0f);
  const __m512 minusOne = _mm512_set1_ps(-1.0f);
  int32_t c = 1;
  for (; c + kBlock <= cols - 1; c += kBlock) {
    const __m512 m0 = _mm512_loadu_ps(here + c);
    const __m512 w = _mm512_loadu_ps(here + c - 1);
    const __m512 e = _mm512_loadu_ps(here + c + 1);
    const __m512 n = _mm512_loadu_ps(above + c);
    const __m512 nw = _mm512_loadu_ps(above + c - 1);
    const __m512 ne = _mm512_loadu_ps(above + c + 1);
    const __m512 s = _mm512_loadu_ps(below + c);
    const __m512 sw = _mm512_loadu_ps(below + c - 1);
    const __m512 se = _mm512_loadu_ps(below + c + 1);
    const __m512 x = _mm512_loadu_ps(gx + c);
    const __m512 y = _mm512_loadu_ps(gy + c);

    const __m512 xp = _mm512_div_ps(negated(x), m0);
    const __m512 yp = _mm512_div_ps(y, m0);
    const __m512 ix = _mm512_maskz_roundscale_ps(kAllLanes, x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m512 iy = _mm512_maskz_roundscale_ps(kAllLanes, y, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);

    // The direction cases, split as the pixel code branches: first on
    // ix >= 0, then on iy >= 0, then on the octant test.
    const __mmask16 ixUp = _mm512_cmp_ps_mask(ix, zero, _CMP_GE_OQ);
    const __mmask16 iyUp = _mm512_cmp_ps_mask(iy, zero, _CMP_GE_OQ);
    const __mmask16 ixDown = static_cast<__mmask16>(~ixUp);
    const __mmask16 iyDown = static_cast<__mmask16>(~iyUp);
    const __mmask16 testA = _mm512_cmp_ps_mask(ix, iy, _CMP_GE_OQ);
    const __mmask16 testC = _mm512_cmp_ps_mask(ix, negated(iy), _CMP_GE_OQ);
    const __mmask16 testE = _mm512_cmp_ps_mask(negated(ix), iy, _CMP_GE_OQ);
    const __mmask16 testG = _mm512_cmp_ps_mask(negated(ix), negated(iy), _CMP_GT_OQ);
    const __mmask16 caseB = ixUp & iyUp & static_cast<__mmask16>(~testA);
    const __mmask16 caseC = ixUp & iyDown & testC;
    const __mmask16 caseD = ixUp & iyDown & static_cast<__mmask16>(~testC);
    const __mmask16 caseE = ixDown & iyUp & testE;
    const __mmask16 caseF = ixDown & iyUp & static_cast<__mmask16>(~testE);
    const __mmask16 caseG = ixDown & iyDown & testG;
    const __mmask16 caseH = ixDown & iyDown & static_cast<__mmask16>(~testG);

    // The differences across (x) and along (y) for both sides, starting from
    // the first case (ix >= iy >= 0) and replaced lane by lane.
    __m512 x1 = _mm512_sub_ps(m0, w);
    x1 = _mm512_mask_blend_ps(caseB, x1, _mm512_sub_ps(n, nw));
    x1 = _mm512_mask_blend_ps(caseD, x1, _mm512_sub_ps(s, sw));
    x1 = _mm512_mask_blend_ps(caseE | caseG, x1, _mm512_sub_ps(e, m0));
    x1 = _mm512_mask_blend_ps(caseF, x1, _mm512_sub_ps(ne, n));
    x1 = _mm512_mask_blend_ps(caseH, x1, _mm512_sub_ps(se, s));
    __m512 y1 = _mm512_sub_ps(nw, w);
    y1 = _mm512_mask_blend_ps(caseB | caseF, y1, _mm512_sub_ps(n, m0));
    y1 = _mm512_mask_blend_ps(caseC, y1, _mm512_sub_ps(w, sw));
    y1 = _mm512_mask_blend_ps(caseD | caseH, y1, _mm512_sub_ps(m0, s));
    y1 = _mm512_mask_blend_ps(caseE, y1, _mm512_sub_ps(ne, e));
    y1 = _mm512_mask_blend_ps(caseG, y1, _mm512_sub_ps(e, se));
    __m512 x2 = _mm512_sub_ps(m0, e);
    x2 = _mm512_mask_blend_ps(caseB, x2, _mm512_sub_ps(s, se));
    x2 = _mm512_mask_blend_ps(caseD, x2, _mm512_sub_ps(n, ne));
    x2 = _mm512_mask_blend_ps(caseE | caseG, x2, _mm512_sub_ps(w, m0));
    x2 = _mm512_mask_blend_ps(caseF, x2, _mm512_sub_ps(sw, s));
    x2 = _mm512_mask_blend_ps(caseH, x2, _mm512_sub_ps(nw, n));
    __m512 y2 = _mm512_sub_ps(se, e);
    y2 = _mm512_mask_blend_ps(caseB | caseF, y2, _mm512_sub_ps(s, m0));
    y2 = _mm512_mask_blend_ps(caseC, y2, _mm512_sub_ps(e, ne));
    y2 = _mm512_mask_blend_ps(caseD | caseH, y2, _mm512_sub_ps(m0, n));
    y2 = _mm512_mask_blend_ps(caseE, y2, _mm512_sub_ps(sw, w));
    y2 = _mm512_mask_blend_ps(caseG, y2, _mm512_sub_ps(w, nw));

    const __m512 mag1 = _mm512_add_ps(_mm512_mul_ps(x1, xp), _mm512_mul_ps(y1, yp));
    const __m512 mag2 = _mm512_add_ps(_mm512_mul_ps(x2, xp), _mm512_mul_ps(y2, yp));
    // A magnitude below 1 truncates to 0 and is never a candidate.
    const __mmask16 candidate = static_cast<__mmask16>(~_mm512_cmp_ps_mask(m0, one, _CMP_LT_OQ)) &
                                _mm512_cmp_ps_mask(mag1, minusOne, _CMP_LE_OQ) &
                                _mm512_cmp_ps_mask(mag2, one, _CMP_LT_OQ);
    const __m128i marks = _mm512_maskz_cvtepi32_epi8(kAllLanes, _mm512_maskz_set1_epi32(candidate, kCandidateCode));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(candidates + c), marks);
  }
  return c;
}

#else

bool suppressionBlocksAvailable() {
  return false;
}
int32_t magnitudeBlocks(const float*, const float*, float*, int32_t) {
  return 0;
}
int32_t candidateBlocks(const float*, const float*, const float*, const float*, const float*, uint8_t*, int32_t) {
  return 1;
}

#endif

}  // namespace filamorph
