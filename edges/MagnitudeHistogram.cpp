// Range and histogram in vector blocks: the per-lane minimum and maximum are
// those of a sequential scan (they may differ only in the sign of a zero,
// which no later use of the range can tell), and the bins are counted in
// integers, which a float count equals up to 2^24.
#include "edges/MagnitudeHistogram.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#include "base/ProcessorFeatures.h"
#endif

namespace filamorph {
namespace {

using Lanes4 = float __attribute__((vector_size(16)));
using Lanes16 = float __attribute__((vector_size(64)));
using Ints4 = int32_t __attribute__((vector_size(16)));

constexpr int32_t kLastBin = 256;
// A float sum of ones stops growing here: 2^24 + 1 rounds back to 2^24.
constexpr uint64_t kFloatCountLimit = uint64_t{1} << 24;

void rangeOf(const float* magnitude, std::size_t begin, std::size_t end, MagnitudeRange& range) {
  for (std::size_t p = begin; p < end; ++p) {
    const float v = magnitude[p];
    if (v < range.min) range.min = v;
    if (v > range.max) range.max = v;
  }
}

// Histogram bin of a scaled magnitude. In float the quotient can reach 256
// exactly (max absorbs the + 1 once it is large), which the 257th entry
// holds; a NaN counts in bin 0.
int32_t binOf(float scaled) {
  if (scaled >= static_cast<float>(kLastBin)) return kLastBin;
  if (scaled > 0.0f) return static_cast<int32_t>(scaled);
  return 0;
}

template <typename Lanes>
[[gnu::always_inline]] inline MagnitudeRange rangeBlocks(const float* magnitude, std::size_t count) {
  constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(float);
  Lanes low = Lanes{} + 255.0f;
  Lanes high = Lanes{};
  std::size_t p = 0;
  for (; p + kLanes <= count; p += kLanes) {
    Lanes v;
    std::memcpy(&v, magnitude + p, sizeof v);
    low = v < low ? v : low;
    high = v > high ? v : high;
  }
  MagnitudeRange range;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    if (low[lane] < range.min) range.min = low[lane];
    if (high[lane] > range.max) range.max = high[lane];
  }
  rangeOf(magnitude, p, count, range);
  return range;
}

// One set of counters per lane of the widest block, so that runs of equal
// bins (flat areas, where most magnitudes fall in the first bins) do not wait
// on one another's increments. 32-bit counters keep all sets in the first-level
// cache; magnitudeCounts counts in chunks that no counter can overflow.
constexpr std::size_t kCounterSets = 16;
using Counters = std::array<std::array<uint32_t, kLastBin + 1>, kCounterSets>;
constexpr std::size_t kChunk = std::size_t{1} << 30;

template <typename Lanes, typename Ints>
[[gnu::always_inline]] inline void countBlocks(const float* magnitude, std::size_t count, const MagnitudeRange& range,
                                               Counters& counters) {
  constexpr std::size_t kLanes = sizeof(Lanes) / sizeof(float);
  const float divisor = range.max - range.min + 1.0f;
  std::size_t p = 0;
  for (; p + kLanes <= count; p += kLanes) {
    Lanes v;
    std::memcpy(&v, magnitude + p, sizeof v);
    const Lanes scaled = ((v - range.min) * 256.0f) / divisor;
    // Only lanes strictly between 0 and 256 are converted; the others would
    // not fit an integer or are NaN.
    const Ints inside = (scaled > 0.0f) & (scaled < static_cast<float>(kLastBin));
    const Ints truncated = __builtin_convertvector(inside ? scaled : Lanes{}, Ints);
    const Ints bins = scaled >= static_cast<float>(kLastBin) ? Ints{} + kLastBin : truncated;
    for (std::size_t lane = 0; lane < kLanes; ++lane) ++counters[lane][static_cast<std::size_t>(bins[lane])];
  }
  for (; p < count; ++p) {
    ++counters[0][static_cast<std::size_t>(binOf(((magnitude[p] - range.min) * 256.0f) / divisor))];
  }
}

MagnitudeRange rangeBaseline(const float* magnitude, std::size_t count) {
  return rangeBlocks<Lanes4>(magnitude, count);
}

void countBaseline(const float* magnitude, std::size_t count, const MagnitudeRange& range, Counters& counters) {
  countBlocks<Lanes4, Ints4>(magnitude, count, range, counters);
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("avx512f")]] MagnitudeRange rangeAvx512(const float* magnitude, std::size_t count) {
  return rangeBlocks<Lanes16>(magnitude, count);
}

// The generic vector code for this loop goes through scalar registers; the
// intrinsics keep the bins in a vector until they are counted.
[[gnu::target("avx512f")]] void countAvx512(const float* magnitude, std::size_t count, const MagnitudeRange& range,
                                            Counters& counters) {
  constexpr std::size_t kLanes = 16;
  const __m512 min = _mm512_set1_ps(range.min);
  const __m512 divisor = _mm512_set1_ps(range.max - range.min + 1.0f);
  const __m512 scale = _mm512_set1_ps(256.0f);
  const __m512 zero = _mm512_setzero_ps();
  const __m512i lastBin = _mm512_set1_epi32(kLastBin);
  std::size_t p = 0;
  alignas(64) int32_t bins[kLanes];
  for (; p + kLanes <= count; p += kLanes) {
    const __m512 scaled =
        _mm512_div_ps(_mm512_mul_ps(_mm512_sub_ps(_mm512_loadu_ps(magnitude + p), min), scale), divisor);
    // Only lanes strictly between 0 and 256 are converted; the others would
    // not fit an integer or are NaN, and go to bin 0 or the last bin.
    const __mmask16 inside =
        _mm512_cmp_ps_mask(scaled, zero, _CMP_GT_OQ) & _mm512_cmp_ps_mask(scaled, scale, _CMP_LT_OQ);
    const __mmask16 beyond = _mm512_cmp_ps_mask(scaled, scale, _CMP_GE_OQ);
    const __m512i truncated = _mm512_maskz_cvttps_epi32(inside, scaled);
    _mm512_store_si512(bins, _mm512_mask_mov_epi32(truncated, beyond, lastBin));
    for (std::size_t lane = 0; lane < kLanes; ++lane) ++counters[lane][static_cast<std::size_t>(bins[lane])];
  }
  countBlocks<Lanes4, Ints4>(magnitude + p, count - p, range, counters);
}

bool hasAvx512() {
  return processorFeatures().avx512f;
}
#endif

}  // namespace

MagnitudeRange magnitudeRange(const float* magnitude, std::size_t count) {
#if defined(__x86_64__) || defined(__i386__)
  if (hasAvx512()) return rangeAvx512(magnitude, count);
#endif
  return rangeBaseline(magnitude, count);
}

std::array<float, 257> magnitudeCounts(const float* magnitude, std::size_t count, const MagnitudeRange& range) {
  std::array<uint64_t, kLastBin + 1> totals{};
  for (std::size_t begin = 0; begin < count; begin += kChunk) {
    const std::size_t chunk = std::min(kChunk, count - begin);
    Counters counters{};
#if defined(__x86_64__) || defined(__i386__)
    if (hasAvx512()) {
      countAvx512(magnitude + begin, chunk, range, counters);
    } else {
      countBaseline(magnitude + begin, chunk, range, counters);
    }
#else
    countBaseline(magnitude + begin, chunk, range, counters);
#endif
    for (const auto& set : counters)
      for (std::size_t k = 0; k < totals.size(); ++k) totals[k] += set[k];
  }
  std::array<float, 257> entries{};
  for (std::size_t k = 0; k < entries.size(); ++k) entries[k] = static_cast<float>(std::min(totals[k], kFloatCountLimit));
  return entries;
}

}  // namespace filamorph
