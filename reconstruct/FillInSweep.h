#ifndef FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
#define FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
// One over-relaxed Gauss-Seidel sweep of the fill-in solver over a work plane.

#include <array>
#include <cstdint>

#include "image/Plane.h"
#include "reconstruct/Molecule.h"

namespace filamorph {

// A gray level after an update: above 255 becomes 255, anything not at least
// 0 (negative or not a number) becomes 0.
inline float clampLevel(float value) {
  if (value > 255.0f) return 255.0f;
  if (!(value >= 0.0f)) return 0.0f;
  return value;
}

// Everything a pixel visit needs that depends only on the pixel's place and
// mask. Each coefficient lambda x (a x N + b) is rounded to a float once, then
// held as the double it converts to exactly.
struct VisitCoefficients {
  std::array<double, kStencilSize> coefficient{};  // 0 where the molecule has no term
  std::array<bool, kStencilSize> present{};
  double mask = 0.0;  // m: 1 at a sample pixel, 0 elsewhere
  float diagonal = 0.0f;  // D = m + own coefficient, a float
  double step = 0.0;  // relaxation / D, rounded to a float
};

// The inner molecule, symmetric, with its four distinct coefficients.
struct InnerCoefficients {
  double mask;
  double own;
  double axial;     // (+-1, 0), (0, +-1)
  double diagonal;  // (+-1, +-1)
  double twoStep;   // (+-2, 0), (0, +-2)
  double step;
};

// The coefficient tables of one solve, by row place, column place and mask.
struct SweepCoefficients {
  std::array<std::array<std::array<VisitCoefficients, 2>, kAxisPlaceCount>, kAxisPlaceCount> byPlace;
  std::array<InnerCoefficients, 2> inner;
};

// smoothWeight is the smoothness weight of a pixel without a sample; a sample
// pixel's is 0.01.
SweepCoefficients makeSweepCoefficients(float smoothWeight, float plateWeight, float relaxation);

// The scratch values of the latest pixel visit.
struct VisitRecord {
  float lastChange = 0.0f;
  float pixelDiagonal = 0.0f;
  float previousValue = 0.0f;
};

// Updates every pixel of `work` in raster order, in place, and returns the
// mean absolute change (a float sum in visit order, divided by the pixel
// count). A pixel is a sample pixel where `sparseness` is non-zero. All three
// planes are rows x cols with rows, cols >= 4. Allocates nothing.
float runSweep(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
               const SweepCoefficients& coefficients, VisitRecord& lastVisit);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
