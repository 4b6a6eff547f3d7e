// The three-knot fit of one profile and the small linear solve behind it.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "contours/ContourCoder.h"
#include "model/ProfileModel.h"

namespace filamorph {
namespace {

ProfileWeights weightsOf(const std::array<float, 4>& solution) {
  return {solution[0], solution[1], solution[2], solution[3]};
}

// Mean of (p(k) - m(k))^2 over the whole profile, summed in index order.
float meanSquaredError(const std::vector<float>& profile, int32_t count, const ProfileWeights& weights,
                       int32_t leftKnot, int32_t middle, int32_t rightKnot) {
  float sum = 0.0f;
  for (int32_t k = 0; k < count; ++k) {
    const float difference = profile[k] - profileModelValue(weights, k - leftKnot, k - middle, k - rightKnot);
    sum = sum + difference * difference;
  }
  return sum / static_cast<float>(count);
}

}  // namespace

void ContourCoder::fitProfile(int32_t contourIndex, int32_t pointIndex) {
  ContourPoint& point = contours[contourIndex].points[pointIndex];
  int32_t left = std::max<int32_t>(point.leftLength, 0);
  int32_t right = std::max<int32_t>(point.rightLength, 0);
  const float contourLevel = profile[left];
  // A side without samples is fitted as if it held one sample at the contour
  // pixel's own level, so that every fit has a knot on each side of the
  // middle. sampleProfile left room for these stand-ins.
  if (left == 0) {
    std::copy_backward(profile.begin(), profile.begin() + right + 1, profile.begin() + right + 2);
    profile[0] = contourLevel;
    left = 1;
  }
  if (right == 0) {
    profile[left + 1] = contourLevel;
    right = 1;
  }
  leftProfileLength = static_cast<int16_t>(left);
  rightProfileLength = static_cast<int16_t>(right);

  const int32_t count = left + right + 1;
  const int32_t middle = left;
  const std::size_t pairCount = static_cast<std::size_t>(left) * static_cast<std::size_t>(right);
  if (pairErrors.size() < pairCount) pairErrors.resize(pairCount);
  if (modelValues.size() < static_cast<std::size_t>(count)) modelValues.resize(count);

  ProfileWeights best;
  float bestError = 0.0f;
  int32_t bestLeftKnot = 0;
  int32_t bestRightKnot = 0;
  std::size_t pair = 0;
  for (int32_t leftKnot = 0; leftKnot < middle; ++leftKnot) {
    for (int32_t rightKnot = middle + 1; rightKnot <= middle + right; ++rightKnot) {
      const int32_t knots[3] = {leftKnot, middle, rightKnot};
      for (int32_t r = 0; r < 3; ++r) {
        for (int32_t c = 0; c < 3; ++c) {
          system[r][c] = r == c ? profileLambda : static_cast<float>(std::abs(knots[r] - knots[c]));
        }
        system[r][3] = 1.0f;
        rightHandSide[r] = profile[knots[r]];
      }
      // The side condition: the three weights sum to zero, so the model is
      // flat outside the outer knots.
      system[3] = {1.0f, 1.0f, 1.0f, 0.0f};
      rightHandSide[3] = 0.0f;
      solveLinear(4);

      const ProfileWeights weights = weightsOf(solution);
      const float error = meanSquaredError(profile, count, weights, leftKnot, middle, rightKnot);
      pairErrors[pair] = error;
      // Among equal errors the last pair tried wins.
      if (pair == 0 || error <= bestError) {
        best = weights;
        bestError = error;
        bestLeftKnot = leftKnot;
        bestRightKnot = rightKnot;
      }
      ++pair;
    }
  }

  for (int32_t k = 0; k < count; ++k) {
    modelValues[k] = clampGrayLevel(profileModelValue(best, k - bestLeftKnot, k - middle, k - bestRightKnot));
  }
  const int32_t level = static_cast<int32_t>(contourLevel);
  point.leftExtent = static_cast<int16_t>(middle - bestLeftKnot);
  point.rightExtent = static_cast<int16_t>(bestRightKnot - middle);
  point.leftContrast = static_cast<int16_t>(level - static_cast<int32_t>(modelValues[bestLeftKnot]));
  point.rightContrast = static_cast<int16_t>(level - static_cast<int32_t>(modelValues[bestRightKnot]));
  point.weightLeft = best.left;
  point.weightMiddle = best.middle;
  point.weightRight = best.right;
  point.baseLevel = best.base;
}

void ContourCoder::solveLinear(int32_t size) {
  const int32_t n = std::clamp<int32_t>(size, 0, static_cast<int32_t>(solution.size()));
  // Forward elimination without pivoting: a zero pivot eliminates nothing.
  for (int32_t i = 0; i + 1 < n; ++i) {
    for (int32_t r = i + 1; r < n; ++r) {
      const float factor = system[i][i] == 0.0f ? 0.0f : -system[r][i] / system[i][i];
      system[r][i] = 0.0f;
      for (int32_t c = i + 1; c < n; ++c) system[r][c] = system[r][c] + system[i][c] * factor;
      rightHandSide[r] = rightHandSide[r] + rightHandSide[i] * factor;
    }
  }
  // Back substitution; an unknown over a zero diagonal is taken as 0.
  for (int32_t i = n - 1; i >= 0; --i) {
    float sum = rightHandSide[i];
    for (int32_t c = i + 1; c < n; ++c) sum = sum - system[i][c] * solution[c];
    solution[i] = system[i][i] == 0.0f ? 0.0f : sum / system[i][i];
  }
}

}  // namespace filamorph
