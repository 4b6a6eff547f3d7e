#ifndef FILAMORPH_IMAGE_NONZEROBITS_H
#define FILAMORPH_IMAGE_NONZEROBITS_H
// Finding the set pixels of a mostly empty byte map a word at a time.

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace filamorph {

inline constexpr int32_t kNonZeroBitsWidth = 64;

// Bit i is set when p[i] is not 0, for the count (at most 64) bytes from p.
// The set pixels of a row are then found from the lowest set bit on, without
// a test per pixel.
inline uint64_t nonZeroBits(const uint8_t* p, int32_t count) {
#if defined(__SSE2__)
  if (count == kNonZeroBitsWidth) {
    const __m128i zero = _mm_setzero_si128();
    uint64_t zeros = 0;
    for (int32_t quarter = 0; quarter < 4; ++quarter) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * quarter));
      zeros |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero))))
               << (16 * quarter);
    }
    return ~zeros;
  }
#endif
  uint64_t bits = 0;
  for (int32_t i = 0; i < count; ++i) bits |= static_cast<uint64_t>(p[i] != 0) << i;
  return bits;
}

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_NONZEROBITS_H
