#ifndef FILAMORPH_RECONSTRUCT_DITHERGENERATOR_H
#define FILAMORPH_RECONSTRUCT_DITHERGENERATOR_H
// The linear congruential generator behind the half-level output dither.

#include <cstdint>

namespace filamorph {

class DitherGenerator {
 public:
  uint32_t state = 1;

  // A number from 0 to 32767.
  int32_t next() {
    state = state * 22695477u + 1u;
    return static_cast<int32_t>((state >> 16) & 0x7FFFu);
  }

  // The generator of the running program: starts at 1, never reseeded, shared
  // by every reconstruction of the run.
  static DitherGenerator& programWide() {
    static DitherGenerator generator;
    return generator;
  }
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_DITHERGENERATOR_H
