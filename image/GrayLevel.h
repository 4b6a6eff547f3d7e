#ifndef FILAMORPH_IMAGE_GRAYLEVEL_H
#define FILAMORPH_IMAGE_GRAYLEVEL_H
// The clamp of a real-valued gray level into 0..255, shared by smoothing, the profile model and the fill-in solver.

namespace filamorph {

// Above 255 becomes 255; anything not at least 0 (a negative value or not a
// number) becomes 0.
inline float clampGrayLevel(float value) {
  if (value > 255.0f) return 255.0f;
  if (!(value >= 0.0f)) return 0.0f;
  return value;
}

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_GRAYLEVEL_H
