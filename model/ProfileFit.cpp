// The three-knot fit of one profile and the small linear solve behind it.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "contours/ContourCoder.h"
#include "model/LinearSolve.h"
#include "model/ProfileModel.h"
#include "model/ProfileWork.h"

namespace filamorph {
namespace {

using Ints = int32_t __attribute__((vector_size(16)));
constexpr int32_t kLanes = static_cast<int32_t>(sizeof(FitLanes) / sizeof(float));

// Up to kLanes knot pairs, one per lane, taken in the order of the search
// (left knots outer, right knots inner). Each lane does the float operations
// of a single pair's fit in the same order, so its weights and error are
// those of the pair fitted alone.
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

FitLanes distances(Ints from, Ints to) {
  const Ints difference = from - to;
  return __builtin_convertvector(difference < 0 ? -difference : difference, FitLanes);
}

FitLanes levelsAt(const std::vector<float>& profile, Ints knots) {
  FitLanes levels;
  for (int32_t lane = 0; lane < kLanes; ++lane) levels[lane] = profile[static_cast<std::size_t>(knots[lane])];
  return levels;
}

PairLanes fitPairs(const std::vector<float>& profile, int32_t count, float lambda, Ints leftKnots, int32_t middle,
                   Ints rightKnots) {
  const FitLanes lambdas = FitLanes{} + lambda;
  const FitLanes ones = FitLanes{} + 1.0f;
  const FitLanes leftToMiddle = distances(leftKnots, middle);
  const FitLanes leftToRight = distances(leftKnots, rightKnots);
  const FitLanes middleToRight = distances(rightKnots, middle);
  FitLanes system[4][4] = {{lambdas, leftToMiddle, leftToRight, ones},
                           {leftToMiddle, lambdas, middleToRight, ones},
                           {leftToRight, middleToRight, lambdas, ones},
                           {ones, ones, ones, FitLanes{}}};
  // The side condition (last row): the three weights sum to zero, so the
  // model is flat outside the outer knots.
  FitLanes rightHandSide[4] = {levelsAt(profile, leftKnots), FitLanes{} + profile[static_cast<std::size_t>(middle)],
                               levelsAt(profile, rightKnots), FitLanes{}};
  FitLanes solution[4] = {};
  solveWithoutPivoting(system, rightHandSide, solution, 4);

  // Mean of (p(k) - m(k))^2 over the whole profile, summed in index order,
  // the model evaluated as profileModelValue does.
  FitLanes sum = {};
  for (int32_t k = 0; k < count; ++k) {
    const FitLanes leftTerm = solution[0] * distances(leftKnots, k);
    const FitLanes middleTerm = solution[1] * static_cast<float>(std::abs(k - middle));
    const FitLanes rightTerm = solution[2] * distances(rightKnots, k);
    const FitLanes value = ((leftTerm + middleTerm) + rightTerm) + solution[3];
    const FitLanes difference = profile[static_cast<std::size_t>(k)] - value;
    sum = sum + difference * difference;
  }
  return {solution[0], solution[1], solution[2], solution[3], sum / static_cast<float>(count)};
}

}  // namespace

void fitProfileOf(ContourPoint& point, float profileLambda, const ProfileScratch& scratch) {
  std::vector<float>& profile = scratch.profile;
  std::vector<float>& pairErrors = scratch.pairErrors;
  std::vector<float>& modelValues = scratch.modelValues;
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
  scratch.leftProfileLength = static_cast<int16_t>(left);
  scratch.rightProfileLength = static_cast<int16_t>(right);

  const int32_t count = left + right + 1;
  const int32_t middle = left;
  const std::size_t pairCount = static_cast<std::size_t>(left) * static_cast<std::size_t>(right);
  if (pairErrors.size() < pairCount) pairErrors.resize(pairCount);
  if (modelValues.size() < static_cast<std::size_t>(count)) modelValues.resize(count);

  ProfileWeights best;
  float bestError = 0.0f;
  int32_t bestLeftKnot = 0;
  int32_t bestRightKnot = 0;
  // Pair p has left knot p / right and right knot middle + 1 + p % right.
  const auto pairs = static_cast<int32_t>(pairCount);
  for (int32_t first = 0; first < pairs; first += kLanes) {
    // Lanes past the last pair repeat it; their results are not used.
    Ints leftKnots;
    Ints rightKnots;
    for (int32_t lane = 0; lane < kLanes; ++lane) {
      const int32_t pair = std::min(first + lane, pairs - 1);
      leftKnots[lane] = pair / right;
      rightKnots[lane] = middle + 1 + pair % right;
    }
    const PairLanes fitted = fitPairs(profile, count, profileLambda, leftKnots, middle, rightKnots);
    for (int32_t lane = 0; lane < kLanes && first + lane < pairs; ++lane) {
      const int32_t pair = first + lane;
      const float error = fitted.error[lane];
      pairErrors[static_cast<std::size_t>(pair)] = error;
      // Among equal errors the last pair tried wins.
      if (pair == 0 || error <= bestError) {
        best = {fitted.left[lane], fitted.middle[lane], fitted.right[lane], fitted.base[lane]};
        bestError = error;
        bestLeftKnot = leftKnots[lane];
        bestRightKnot = rightKnots[lane];
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

void ContourCoder::fitProfile(int32_t contourIndex, int32_t pointIndex) {
  fitProfileOf(contours[contourIndex].points[pointIndex], profileLambda, scratchOf(*this));
}

void ContourCoder::solveLinear(int32_t size) {
  const int32_t n = std::clamp<int32_t>(size, 0, static_cast<int32_t>(solution.size()));
  solveWithoutPivoting(system, rightHandSide, solution, n);
}

}  // namespace filamorph
