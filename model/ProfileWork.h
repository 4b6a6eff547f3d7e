#ifndef FILAMORPH_MODEL_PROFILEWORK_H
#define FILAMORPH_MODEL_PROFILEWORK_H
// One contour point's profile sampling and fit, on scratch the caller names:
// the coder's own members, or a helper thread's.

#include <cstdint>
#include <vector>

#include "contours/ContourCoder.h"

namespace filamorph {

// The scratch of the profile work, as the coder's members of the same names.
struct ProfileScratch {
  std::vector<float>& profile;
  std::vector<float>& modelValues;
  std::vector<float>& pairErrors;
  int16_t& leftProfileLength;
  int16_t& rightProfileLength;
};

// The coder's own scratch members.
inline ProfileScratch scratchOf(ContourCoder& coder) {
  return {coder.profile, coder.modelValues, coder.pairErrors, coder.leftProfileLength, coder.rightProfileLength};
}

// ContourCoder::sampleProfile on `point`, into `profile`; reads the coder's
// planes only.
void sampleProfileOf(const ContourCoder& coder, ContourPoint& point, std::vector<float>& profile);
// ContourCoder::fitProfile on `point`, with `scratch`.
void fitProfileOf(ContourPoint& point, float profileLambda, const ProfileScratch& scratch);

}  // namespace filamorph

#endif  // FILAMORPH_MODEL_PROFILEWORK_H
