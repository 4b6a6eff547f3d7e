#ifndef FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
#define FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
// Edge detection with the fixed parameters that the Detect Contours command stores.

#include "edges/EdgeDetector.h"

namespace filamorph::testing {

inline void detectEdgesAsTheCommandDoes(EdgeDetector& detector) {
  detector.setLambda(1.0f);
  detector.setTau(0.1f);
  detector.setFilterLength(5);
  detector.setThresholds(70, 80);
  detector.detectEdges();
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
