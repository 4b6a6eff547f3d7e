// Gradient magnitude and the suppression of pixels that are not a maximum
// across the edge.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/WorkThreads.h"
#include "edges/EdgeDetector.h"
#include "edges/SuppressionBlocks.h"

namespace filamorph {
namespace {

// Zeroes the border of row r of a gradient plane: the whole row at the top
// and bottom, its first and last pixel elsewhere.
void zeroBorderOfRow(Plane<float>& plane, int32_t r) {
  if (r == 0 || r == plane.rows() - 1) {
    std::memset(plane[r], 0, static_cast<std::size_t>(plane.cols()) * sizeof(float));
  } else {
    plane[r][0] = 0.0f;
    plane[r][plane.cols() - 1] = 0.0f;
  }
}

// Truncation toward zero kept in float, where comparisons of the truncated
// components behave as those of the integers would; values of 2^23 and
// beyond, infinities and NaN are their own truncation. (The library trunc is
// a call on baseline x86-64.)
float truncated(float v) {
  return std::fabs(v) < 8388608.0f ? static_cast<float>(static_cast<int32_t>(v)) : v;
}

// The two interpolated differences along the gradient at one pixel: the pixel
// is a maximum when the magnitude falls on both sides, mag1 by at least 1 and
// mag2 not rising by 1 or more. The direction is chosen on the truncated
// components; equal components fall as the branch order below says.
bool isCandidate(const float* above, const float* here, const float* below, int32_t c, float gx, float gy) {
  const float m0 = here[c];
  if (m0 < 1.0f) return false;  // truncates to 0
  const float xp = -gx / m0;
  const float yp = gy / m0;
  const float ix = truncated(gx);
  const float iy = truncated(gy);
  auto along = [xp, yp](float towardsX, float towardsY) { return towardsX * xp + towardsY * yp; };

  float mag1;
  float mag2;
  if (ix >= 0.0f) {
    if (iy >= 0.0f) {
      if (ix >= iy) {
        // Both sides interpolate from the side neighbour towards the diagonal
        // one. Reversing the diagonal difference on the forward side would
        // extrapolate instead, and in this octant the map would grow ghost
        // edges beside true ones and lose stretches of the true ones.
        mag1 = along(m0 - here[c - 1], above[c - 1] - here[c - 1]);
        mag2 = along(m0 - here[c + 1], below[c + 1] - here[c + 1]);
      } else {
        mag1 = along(above[c] - above[c - 1], above[c] - m0);
        mag2 = along(below[c] - below[c + 1], below[c] - m0);
      }
    } else if (ix >= -iy) {
      mag1 = along(m0 - here[c - 1], here[c - 1] - below[c - 1]);
      mag2 = along(m0 - here[c + 1], here[c + 1] - above[c + 1]);
    } else {
      mag1 = along(below[c] - below[c - 1], m0 - below[c]);
      mag2 = along(above[c] - above[c + 1], m0 - above[c]);
    }
  } else if (iy >= 0.0f) {
    if (-ix >= iy) {
      mag1 = along(here[c + 1] - m0, above[c + 1] - here[c + 1]);
      mag2 = along(here[c - 1] - m0, below[c - 1] - here[c - 1]);
    } else {
      mag1 = along(above[c + 1] - above[c], above[c] - m0);
      mag2 = along(below[c - 1] - below[c], below[c] - m0);
    }
  } else if (-ix > -iy) {
    mag1 = along(here[c + 1] - m0, here[c + 1] - below[c + 1]);
    mag2 = along(here[c - 1] - m0, here[c - 1] - above[c - 1]);
  } else {
    mag1 = along(below[c + 1] - below[c], m0 - below[c]);
    mag2 = along(above[c - 1] - above[c], m0 - above[c]);
  }
  // trunc(mag1) < 0 and trunc(mag2) <= 0.
  return mag1 <= -1.0f && mag2 < 1.0f;
}

// Suppression of inner row r once the magnitude rows r-1 to r+1 are ready;
// blocks: whether the sixteen-pixel blocks may run.
void suppressRow(const Plane<float>& gradientMagnitude, const Plane<float>& gradientX, const Plane<float>& gradientY,
                 Plane<uint8_t>& candidateMap, int32_t r, bool blocks) {
  const float* above = gradientMagnitude[r - 1];
  const float* here = gradientMagnitude[r];
  const float* below = gradientMagnitude[r + 1];
  const float* gx = gradientX[r];
  const float* gy = gradientY[r];
  uint8_t* candidates = candidateMap[r];
  const int32_t planeCols = gradientX.cols();
  for (int32_t c = blocks ? candidateBlocks(above, here, below, gx, gy, candidates, planeCols) : 1; c < planeCols - 1;
       ++c) {
    if (isCandidate(above, here, below, c, gx[c], gy[c])) candidates[c] = kCandidateCode;
  }
}

}  // namespace

void EdgeDetector::suppressNonMaxima() {
  if (edgePlanesAllocated == 0 || gradientX.size() == 0) return;
  const int32_t planeRows = gradientX.rows();
  const int32_t planeCols = gradientX.cols();
  const bool blocks = suppressionBlocksAvailable();

  // Every magnitude first, then the suppression that reads three rows of
  // them: the threads share both passes by rows without waiting on each other.
  forRows(workThreads, planeRows, planeCols, [&](int32_t first, int32_t end) {
    for (int32_t r = first; r < end; ++r) {
      zeroBorderOfRow(gradientX, r);
      zeroBorderOfRow(gradientY, r);
      const float* gx = gradientX[r];
      const float* gy = gradientY[r];
      float* magnitude = gradientMagnitude[r];
      std::memset(candidateMap[r], 0, static_cast<std::size_t>(planeCols));
      // The float square root is correctly rounded, so it equals the double
      // one rounded to float.
      for (int32_t c = blocks ? magnitudeBlocks(gx, gy, magnitude, planeCols) : 0; c < planeCols; ++c) {
        magnitude[c] = std::sqrt(gx[c] * gx[c] + gy[c] * gy[c]);
      }
    }
  });
  forRows(workThreads, std::max(planeRows - 2, 0), planeCols, [&](int32_t first, int32_t end) {
    for (int32_t r = first + 1; r < end + 1; ++r)
      suppressRow(gradientMagnitude, gradientX, gradientY, candidateMap, r, blocks);
  });
}

}  // namespace filamorph
