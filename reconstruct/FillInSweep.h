#ifndef FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
#define FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
// One over-relaxed Gauss-Seidel sweep of the fill-in solver, visiting several rows at once as a wavefront.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/GrayLevel.h"
#include "image/Plane.h"
#include "reconstruct/Molecule.h"

namespace filamorph {

// Everything a pixel visit needs that depends only on the pixel's place and
// mask. Each coefficient lambda x (a x N + b) is rounded to a float once, then
// held as the double it converts to exactly.
struct VisitCoefficients {
  std::array<double, kStencilSize> coefficient{};  // 0 where the molecule has no term
  std::array<bool, kStencilSize> present{};
  double mask = 0.0;      // m: 1 at a sample pixel, 0 elsewhere
  float diagonal = 0.0f;  // D = m + own coefficient, a float
  double step = 0.0;      // relaxation / D, rounded to a float
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

// The planes of one sweep, all rows x cols (rows, cols >= 4), row-major and
// contiguous. The sweeps keep the gray levels as doubles, each holding a float
// exactly, so that a visit reads its thirteen values without converting them.
// A sweep in place reads and writes one plane (source == target).
// A sweep that runs while the one before it is still going reads the values
// that sweep left in `source` and writes its own into `target`: the pixels it
// has already visited in `target`, the others in `source`.
struct SweepPlanes {
  const double* source;
  double* target;
  const uint8_t* sparseness;  // non-zero at a sample pixel
  const uint8_t* depth;
  int32_t rows;
  int32_t cols;
};

// Lets a sweep trail the sweep whose values it reads: before each band of rows
// it waits until that sweep has finished every row the band reads, and after
// the band it tells how many rows it has finished itself.
class SweepGate {
 public:
  virtual ~SweepGate() = default;
  // Returns false when the sweep is to be abandoned.
  virtual bool awaitSourceRows(int32_t rowCount) = 0;
  virtual void finishedRows(int32_t rowCount) = 0;
};

// How many visits a band's inner steps run in one vector: pairs need SSE2,
// quads AVX-512VL (for its 32 vector registers, which hold the windows of a
// band of quads). The results are the same bit for bit.
enum class SweepVectors { Pairs, Quads };

// Quads where the processor has AVX-512VL, otherwise pairs.
SweepVectors widestSweepVectors();
bool canSweepWith(SweepVectors vectors);

// Runs whole sweeps over planes of a given width. Rows are visited in bands,
// each row kBandLag columns behind the one above it: a visit needs
// from its own sweep only the row above up to one column to its right and the
// row two above up to its own column, so the rows of a band are independent
// chains of visits that overlap in the processor. The visits' changes are kept
// per band and summed in raster order, so the mean change is the plain sweep's.
// Not copyable: it points into its own buffer.
class BandSweeper {
 public:
  static constexpr int32_t kBandLag = 2;

  // `vectors` must be one the processor can run (canSweepWith).
  BandSweeper(const SweepCoefficients& coefficients, int32_t cols, SweepVectors vectors = widestSweepVectors());
  BandSweeper(const BandSweeper&) = delete;
  BandSweeper& operator=(const BandSweeper&) = delete;

  // Updates every pixel once and returns the mean absolute change (the float
  // sum in raster order divided by the pixel count), or nothing when the gate
  // abandoned the sweep. `lastVisit` gets the scratch values of the last
  // visit. Allocates nothing.
  std::optional<float> sweep(const SweepPlanes& planes, VisitRecord& lastVisit, SweepGate* gate = nullptr);

  // Visits rows [firstRow, endRow) of a sweep whose rows above firstRow are
  // done, adding their changes in raster order to `sumBefore`, the sum of
  // the rows above; returns the sum so far, or nothing when the gate
  // abandoned the rows. Each bound is 0 or rows, or lies in [2, rows - 2].
  // The gate's row counts are the plane's (from row 0).
  std::optional<float> sweepRows(const SweepPlanes& planes, int32_t firstRow, int32_t endRow, float sumBefore,
                                 VisitRecord& lastVisit, SweepGate* gate = nullptr);

 private:
  template <int32_t BandRows>
  void sweepBandOfUpTo(const SweepPlanes& planes, int32_t firstRow, int32_t rowCount, VisitRecord& lastVisit);
  template <int32_t BandRows>
  void sweepSteadySteps(const SweepPlanes& planes, std::ptrdiff_t bandStart, int32_t firstStep, int32_t lastStep);
  template <int32_t BandRows>
  void sweepSteadyQuads(const SweepPlanes& planes, std::ptrdiff_t bandStart, int32_t firstStep, int32_t lastStep);
  template <int32_t BandRows>
  void sweepInnerBand(const SweepPlanes& planes, int32_t firstRow, VisitRecord& lastVisit);

  // Adds the rest of the previous band's changes to the sweep's sum.
  void addPendingChanges();

  // The changes of a band are added to the sum in raster order while the next
  // band is visited, where the additions overlap the visits.
  struct PendingChanges {
    const float* next = nullptr;
    const float* end = nullptr;
  };

  // Rows per band: enough chains of visits to fill the processor, few enough
  // that every row's window stays in registers.
  static constexpr int32_t kPairBandRows = 6;
  static constexpr int32_t kQuadBandRows = 8;
  static constexpr int32_t kMaxBandRows = std::max(kPairBandRows, kQuadBandRows);

  const SweepCoefficients& coefficients_;
  const SweepVectors vectors_;
  const int32_t bandRows_;
  std::vector<float> changes_;  // two buffers of kMaxBandRows rows of cols changes
  float* bandChanges_;          // the buffer of the band being visited
  PendingChanges pending_;      // changes not yet in the sum, all after those in it
  float changeSum_ = 0.0f;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_FILLINSWEEP_H
