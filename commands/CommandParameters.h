#ifndef FILAMORPH_COMMANDS_COMMANDPARAMETERS_H
#define FILAMORPH_COMMANDS_COMMANDPARAMETERS_H
// The fixed parameters of the menu commands: the one place the window, the
// command line, the evaluation, the tests and the benchmarks take them from.

#include <cstdint>

#include "codecfile/CodedFileFormat.h"
#include "edges/EdgeDetector.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

// Detect Contours: smoothing scale, gradient share, filter length and the
// hysteresis thresholds in percent.
struct EdgeParameters {
  float lambda;
  float tau;
  int32_t filterLength;
  int32_t lowThreshold;
  int32_t highThreshold;
};
inline constexpr EdgeParameters kDetectContoursParameters{1.0f, 0.1f, 5, 70, 80};

inline void setDetectContoursParameters(EdgeDetector& detector) {
  detector.setLambda(kDetectContoursParameters.lambda);
  detector.setTau(kDetectContoursParameters.tau);
  detector.setFilterLength(kDetectContoursParameters.filterLength);
  detector.setThresholds(kDetectContoursParameters.lowThreshold, kDetectContoursParameters.highThreshold);
}

// Obtain Filamorph: the smoothing weight of the profile fit.
inline constexpr float kProfileLambda = 0.1f;

// Reconstruct: the solver's five values, in the order setSolverParameters takes them.
struct SolverParameters {
  float smoothWeight;
  float plateWeight;
  float relaxation;
  float tolerance;
  uint8_t dither;
};
inline constexpr SolverParameters kReconstructParameters{64.0f, 0.5f, 1.1f, 0.0005f, 1};

inline void setReconstructParameters(Reconstructor& reconstructor) {
  const SolverParameters& p = kReconstructParameters;
  reconstructor.setSolverParameters(p.smoothWeight, p.plateWeight, p.relaxation, p.tolerance, p.dither);
}

// The weights of length, mean curvature and mean contrast that the contour
// selection starts from.
struct SelectionWeights {
  float length;
  float curvature;
  float contrast;
};
inline constexpr SelectionWeights kDefaultSelectionWeights{0.5f, 0.5f, 0.5f};

// The most contours a coded file holds, and so the default number to keep.
inline constexpr int32_t kFileContourLimit = codedfile::kMaxContours;

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_COMMANDPARAMETERS_H
