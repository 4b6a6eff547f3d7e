#ifndef FILAMORPH_MODEL_PROFILEMODEL_H
#define FILAMORPH_MODEL_PROFILEMODEL_H
// The three-knot profile model shared by the fit and the rasterisation, so
// that both evaluate it with the same float operations in the same order.

#include <cstdint>
#include <cstdlib>

#include "image/GrayLevel.h"

namespace filamorph {

struct ProfileWeights {
  float left = 0.0f;
  float middle = 0.0f;
  float right = 0.0f;
  float base = 0.0f;
};

// m = ((left x |toLeftKnot| + middle x |toMiddle|) + right x |toRightKnot|) + base,
// each distance converted to a float, one rounding per operation.
inline float profileModelValue(const ProfileWeights& weights, int32_t toLeftKnot, int32_t toMiddle,
                               int32_t toRightKnot) {
  const float leftTerm = weights.left * static_cast<float>(std::abs(toLeftKnot));
  const float middleTerm = weights.middle * static_cast<float>(std::abs(toMiddle));
  const float rightTerm = weights.right * static_cast<float>(std::abs(toRightKnot));
  return ((leftTerm + middleTerm) + rightTerm) + weights.base;
}

}  // namespace filamorph

#endif  // FILAMORPH_MODEL_PROFILEMODEL_H
