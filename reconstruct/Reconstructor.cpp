#include "reconstruct/Reconstructor.h"

namespace filamorph {

Reconstructor::~Reconstructor() {
  if (ownsWorkPlane == 1) workPlane.release();
  sparsenessPlane.release();
  depthPlane.release();
}

void Reconstructor::setSolverParameters(float smoothWeightValue, float plateWeightValue, float relaxationValue,
                                        float toleranceValue, uint8_t ditherValue) {
  smoothWeight = smoothWeightValue;
  plateWeight = plateWeightValue;
  relaxation = relaxationValue;
  tolerance = toleranceValue;
  dither = ditherValue;
}

void Reconstructor::allocateModelPlanes() {
  sparsenessPlane.allocate(rows, cols, true);
  depthPlane.allocate(rows, cols, true);
}

}  // namespace filamorph
