#include "edges/EdgeDetector.h"

#include <cstring>
#include <utility>

#include "base/WorkThreads.h"
#include "image/KernelPairConvolution.h"

namespace filamorph {

EdgeDetector::~EdgeDetector() {
  releaseEdgePlanes();
}

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

bool EdgeDetector::prepareEdgePlanes() {
  // Without a gray plane of the recorded size there is nothing to detect on.
  if (!grayPlane.exists() || grayPlane.rows() != rows || grayPlane.cols() != cols) return false;
  const bool sizeChanged = edgeMap.rows() != rows || edgeMap.cols() != cols;
  if (imageReplaced == 1 || sizeChanged) releaseEdgePlanes();
  if (edgePlanesAllocated == 0) {
    gradientX.allocate(rows, cols);
    gradientY.allocate(rows, cols);
    gradientMagnitude.allocate(rows, cols);
    edgeMap.allocate(rows, cols);
    candidateMap.allocate(rows, cols);
  }
  edgePlanesAllocated = 1;
  return true;
}

void EdgeDetector::detectEdges() {
  if (!prepareEdgePlanes()) return;
  computeGradients();
  rethreshold();
}

void EdgeDetector::detectEdgesThenSmooth() {
  if (!prepareEdgePlanes()) return smoothGrayPlane();
  computeGradients();
  suppressNonMaxima();
  // Hysteresis and thinning read and write only the maps; the smoothing
  // reads and writes only the gray plane and the kernel.
  forTasks(workThreads, 2, [this](int32_t task) {
    if (task == 0) {
      thresholdCandidates();
    } else {
      smoothGrayPlane();
    }
  });
}

void EdgeDetector::computeGradients() {
  buildVerticalDerivativeKernel();
  const Plane<float> vertical = std::move(kernel);
  const float verticalScale = kernelScale;
  buildHorizontalDerivativeKernel();
  convolveKernelPair(*this, PairKernel{vertical, verticalScale}, gradientY, PairKernel{kernel, kernelScale}, gradientX);
}

void EdgeDetector::rethreshold() {
  if (edgePlanesAllocated == 0) return;
  suppressNonMaxima();
  thresholdCandidates();
}

void EdgeDetector::thresholdCandidates() {
  applyHysteresis();
  clearEdgeBorder();
  thinEdges();
}

void EdgeDetector::clearEdgeBorder() {
  if (edgePlanesAllocated == 0 || edgeMap.size() == 0) return;
  const int32_t lastRow = edgeMap.rows() - 1;
  const int32_t lastCol = edgeMap.cols() - 1;
  for (int32_t r = 0; r <= lastRow; ++r) {
    edgeMap[r][0] = 0;
    edgeMap[r][lastCol] = 0;
  }
  std::memset(edgeMap[0], 0, static_cast<std::size_t>(edgeMap.cols()));
  std::memset(edgeMap[lastRow], 0, static_cast<std::size_t>(edgeMap.cols()));
}

}  // namespace filamorph
