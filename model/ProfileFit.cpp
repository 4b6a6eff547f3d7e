// The three-knot fit of one profile and the small linear solve behind it.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "contours/ContourCoder.h"
#include "model/LinearSolve.h"
#include "model/ProfileModel.h"

namespace filamorph {
namespace {

using Ints = int32_t __attribute__((vector_size(16)));
constexpr int32_t kLanes = static_cast<int32_t>(sizeof(FitLanes) / sizeof(float));

// The knot pairs of one left knot and up to kLanes right knots, one pair per
// lane. Each lane does the float operations of a single pair's fit in the
// same order, so its weights and error are those of the pair fitted alone.
struct PairLanes {
  FitLanes left;
  FitLanes middle;
  FitLanes right;
  FitLanes base;
  FitLanes error;
};

FitLanes distances(Ints from, int32_t to) {
  const Ints difference = from - to;
  return __builtin_convertvector(difference < 0 ? -difference : difference, FitLanes);
}

// Lanes past the last right knot repeat it; their results are not used.
PairLanes fitPairs(const std::vector<float>& profile, int32_t count, float lambda, int32_t leftKnot, int32_t middle,
                   int32_t firstRightKnot, int32_t lastRightKnot) {
  Ints rightKnots;
  FitLanes rightLevels;
  for (int32_t lane = 0; lane < kLanes; ++lane) {
    rightKnots[lane] = std::min(firstRightKnot + lane, lastRightKnot);
    rightLevels[lane] = profile[static_cast<std::size_t>(rightKnots[lane])];
  }
  const FitLanes lambdas = FitLanes{} + lambda;
  const FitLanes ones = FitLanes{} + 1.0f;
  const FitLanes leftToMiddle = FitLanes{} + static_cast<float>(std::abs(leftKnot - middle));
  const FitLanes leftToRight = distances(rightKnots, leftKnot);
  const FitLanes middleToRight = distances(rightKnots, middle);
  FitLanes system[4][4] = {{lambdas, leftToMiddle, leftToRight, ones},
                           {leftToMiddle, lambdas, middleToRight, ones},
                           {leftToRight, middleToRight, lambdas, ones},
                           {ones, ones, ones, FitLanes{}}};
  // The side condition (last row): the three weights sum to zero, so the
  // model is flat outside the outer knots.
  FitLanes rightHandSide[4] = {FitLanes{} + profile[static_cast<std::size_t>(leftKnot)],
                               FitLanes{} + profile[static_cast<std::size_t>(middle)], rightLevels, FitLanes{}};
  FitLanes solution[4] = {};
  solveWithoutPivoting(system, rightHandSide, solution, 4);

  // Mean of (p(k) - m(k))^2 over the whole profile, summed in index order,
  // the model evaluated as profileModelValue does.
  FitLanes sum = {};
  for (int32_t k = 0; k < count; ++k) {
    const FitLanes leftTerm = solution[0] * static_cast<float>(std::abs(k - leftKnot));
    const FitLanes middleTerm = solution[1] * static_cast<float>(std::abs(k - middle));
    const FitLanes rightTerm = solution[2] * distances(rightKnots, k);
    const FitLanes value = ((leftTerm + middleTerm) + rightTerm) + solution[3];
    const FitLanes difference = profile[static_cast<std::size_t>(k)] - value;
    sum = sum + difference * difference;
  }
  return {solution[0], solution[1], solution[2], solution[3], sum / static_cast<float>(count)};
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
  const int32_t lastRightKnot = middle + right;
  for (int32_t leftKnot = 0; leftKnot < middle; ++leftKnot) {
    for (int32_t firstRightKnot = middle + 1; firstRightKnot <= lastRightKnot; firstRightKnot += kLanes) {
      const PairLanes fitted =
          fitPairs(profile, count, profileLambda, leftKnot, middle, firstRightKnot, lastRightKnot);
      const int32_t pairsHere = std::min(kLanes, lastRightKnot - firstRightKnot + 1);
      for (int32_t lane = 0; lane < pairsHere; ++lane) {
        const float error = fitted.error[lane];
        pairErrors[pair] = error;
        // Among equal errors the last pair tried wins.
        if (pair == 0 || error <= bestError) {
          best = {fitted.left[lane], fitted.middle[lane], fitted.right[lane], fitted.base[lane]};
          bestError = error;
          bestLeftKnot = leftKnot;
          bestRightKnot = firstRightKnot + lane;
        }
        ++pair;
      }
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
  solveWithoutPivoting(system, rightHandSide, solution, n);
}

}  // namespace filamorph
