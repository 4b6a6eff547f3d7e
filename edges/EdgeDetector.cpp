#include "edges/EdgeDetector.h"

namespace filamorph {

EdgeDetector::~EdgeDetector() { releaseEdgePlanes(); }

void EdgeDetector::releaseEdgePlanes() {
  if (edgePlanesAllocated == 1) {
    gradientX.release();
    gradientY.release();
    gradientMagnitude.release();
    candidateMap.release();
    edgeMap.release();
  }
  edgePlanesAllocated = 0;
}

void EdgeDetector::clearEdgeBorder() {
  if (!edgeMap.exists()) return;
  for (int32_t r = 0; r < rows; ++r) {
    edgeMap[r][0] = 0;
    edgeMap[r][cols - 1] = 0;
  }
  for (int32_t c = 0; c < cols; ++c) {
    edgeMap[0][c] = 0;
    edgeMap[rows - 1][c] = 0;
  }
}

}  // namespace filamorph
