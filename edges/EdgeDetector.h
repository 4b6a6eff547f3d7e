#ifndef FILAMORPH_EDGES_EDGEDETECTOR_H
#define FILAMORPH_EDGES_EDGEDETECTOR_H
// A gray image with the parameters, planes and stages of edge detection.

#include <array>
#include <cstdint>
#include <vector>

#include "image/GrayImage.h"

namespace filamorph {

// The codes of the edge map: a kept edge pixel, and a suppression candidate
// while hysteresis runs; every other pixel is 0.
inline constexpr uint8_t kEdgeCode = 250;
inline constexpr uint8_t kCandidateCode = 128;

// The five parameters are not initialised by construction: callers store all
// of them through the setters before the first detectEdges().
class EdgeDetector : public GrayImage {
 public:
  EdgeDetector() = default;
  ~EdgeDetector();

  Plane<uint8_t> edgeMap;    // 250 edge, 0 none; 128 a candidate during hysteresis
  int32_t filterLength = 0;  // half-length N of the (2N+1) x (2N+1) kernels
  int32_t tLow = 0;          // shares of the magnitude distribution, in hundredths
  int32_t tHigh = 0;
  float lambda = 0.0f;
  float tau = 0.0f;
  Plane<uint8_t> candidateMap;  // 128 at a non-maximum-suppressed candidate
  Plane<float> gradientX;
  Plane<float> gradientY;
  Plane<float> gradientMagnitude;
  std::array<float, 257> magnitudeHistogram{};
  uint8_t edgePlanesAllocated = 0;

  void setFilterLength(int32_t length) { filterLength = length; }
  void setThresholds(int32_t low, int32_t high) {
    tLow = low;
    tHigh = high;
  }
  void setLambda(float value) { lambda = value; }
  void setTau(float value) { tau = value; }

  // The whole detection on the current gray plane, result in edgeMap.
  void detectEdges();
  // detectEdges() then smoothGrayPlane(), the smoothing beside the
  // thresholding stages when the work threads have a helper.
  void detectEdgesThenSmooth();
  void releaseEdgePlanes();
  void clearEdgeBorder();

  // Kernels from lambda, tau and filterLength.
  void buildSmoothingKernel();
  void buildVerticalDerivativeKernel();
  void buildHorizontalDerivativeKernel();
  // Replaces the gray plane by its smoothed version where the convolution
  // reaches; the N-pixel margin keeps its gray levels.
  void smoothGrayPlane();
  // Both derivative kernels over the gray plane in one pass, into gradientY
  // and gradientX; leaves the horizontal kernel as the current one and the
  // filtered plane as it was.
  void computeGradients();

  void suppressNonMaxima();
  void applyHysteresis();
  void followEdge(int32_t row, int32_t col, int32_t threshold);
  void thinEdges();

  // The edge-map view: white edges on black, hint "Edge Map". Does nothing
  // while no edge planes exist.
  void showEdgeMap(ImageControl& image) const;

  // The re-threshold sequence of the threshold track bars: suppression,
  // hysteresis, border clearing and thinning on the existing gradients. Does
  // nothing while no edge planes exist.
  void rethreshold();

 private:
  // Makes the edge planes at the image's size unless they exist; false when
  // there is no gray plane of that size to detect on.
  bool prepareEdgePlanes();
  // The stages of rethreshold after the suppression.
  void thresholdCandidates();
  // A pixel accepted by the follow step whose neighbours are still to be seen.
  struct FollowPixel {
    int32_t row;
    int32_t col;
  };
  // Kept between calls so that marking an edge rarely allocates.
  std::vector<FollowPixel> followStack_;
  // The pixels thinning has to examine again, one byte per pixel, kept
  // between calls for the same reason.
  std::vector<uint8_t> thinningPending_;
};

}  // namespace filamorph

#endif  // FILAMORPH_EDGES_EDGEDETECTOR_H
