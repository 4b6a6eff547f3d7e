#ifndef FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
#define FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
// Edge detection with the fixed parameters that the Detect Contours command stores.

#include "commands/CommandParameters.h"
#include "edges/EdgeDetector.h"

namespace filamorph::testing {

inline void detectEdgesAsTheCommandDoes(EdgeDetector& detector) {
  setDetectContoursParameters(detector);
  detector.detectEdges();
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_SUPPORT_COMMANDSTEPS_H
