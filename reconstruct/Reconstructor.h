#ifndef FILAMORPH_RECONSTRUCT_RECONSTRUCTOR_H
#define FILAMORPH_RECONSTRUCT_RECONSTRUCTOR_H
// The reconstruction object: the model planes and the fill-in solver.

#include <cstdint>

#include "image/GrayImage.h"
#include "reconstruct/DitherGenerator.h"
#include "reconstruct/SweepSchedule.h"

namespace filamorph {

// Receives its size and model from the analysis object by copy and
// rasterisation; the two objects share nothing.
class Reconstructor : public GrayImage {
 public:
  Reconstructor() = default;
  ~Reconstructor();

  Plane<uint8_t> depthPlane;
  Plane<uint8_t> sparsenessPlane;
  Plane<float> workPlane;
  float plateWeight = 0.0f;
  float smoothWeight = 0.0f;
  float meanChange = 0.0f;
  float tolerance = 0.0f;
  float lastChange = 0.0f;
  float relaxation = 0.0f;
  float pixelDiagonal = 0.0f;
  float previousValue = 0.0f;
  uint8_t dither = 0;
  uint8_t ownsWorkPlane = 0;
  int32_t sweepCount = 0;  // sweeps of the latest solve
  // Threads for the sweeps: 1 or 2, or 0 to choose by the hardware and the
  // image size. The result is the same bit for bit with either.
  int32_t sweepThreads = 0;

  void setSolverParameters(float smoothWeight, float plateWeight, float relaxation, float tolerance, uint8_t dither);
  // Makes both model planes, zero-filled, of rows x cols.
  void allocateModelPlanes();
  // Fills grayPlane from the model planes. Returns false when the observer
  // cancelled; the object and the generator are then as before the call.
  // Model planes that are missing or not rows x cols count as a model
  // without samples (and are made anew, zero-filled). A plane under 4 x 4
  // gets no sweep: samples keep their level, the rest start at 128.
  bool solve(DitherGenerator& generator = DitherGenerator::programWide(), const SweepObserver& observer = {});

  // The model view: depth as (255 x depth) mod 256 in the image, hints
  // "Depth Data" and "Sparseness Data"; the companion is only placed.
  void showModel(ImageControl& image, ImageControl& companion) const;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_RECONSTRUCTOR_H
