#include "reconstruct/FillInSweep.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "base/ProcessorFeatures.h"
#if defined(__SSE2__)
#include "reconstruct/InnerPairVisit.h"
#endif
#if defined(__x86_64__)
#include "reconstruct/InnerQuadVisit.h"
#endif

namespace filamorph {

// The arithmetic of a pixel visit, which results are compared against bit for
// bit:
//   coefficient c = lambda x ((float(a) x N) + float(b)), each operation
//     rounded to a float; lambda is 0.01f at a sample pixel, smoothWeight
//     elsewhere; own is the pixel's own c;
//   D = float(m) + own and q = relaxation / D, both floats;
//   G, a double sum taken strictly in this order:
//     m x (double(u_p) - d)       m and d are the mask and depth as doubles,
//     + own x u_p                 then every term c x u_q with both factors
//     + the rows -2, -1, +1, +2   converted to double (the product of two
//       of the molecule, each       floats is exact in double), skipping the
//       from left to right          cells the molecule does not couple;
//     + (0,+1) + (0,+2) + (0,-2) + (0,-1);
//   u_p <- float(double(u_p) - G x double(q)), then clampGrayLevel;
//   change = |u_p - previous| in float, added to the float sweep sum.
// The coefficients depend only on the place and the mask, so rounding them
// once per solve gives the same bits as rounding them at every visit.
// Writing the data term as m x (u_p - d) rather than D x u_p - m x d keeps a
// pixel already at its sample level there exactly, and leaving the two left
// neighbours for last lets the rest of the sum run before their updates land.

SweepCoefficients makeSweepCoefficients(float smoothWeight, float plateWeight, float relaxation) {
  constexpr float kSampleSmoothWeight = 0.01f;
  constexpr AxisPlace kPlaces[kAxisPlaceCount] = {AxisPlace::NearEdge, AxisPlace::NearSecond, AxisPlace::Inner,
                                                  AxisPlace::FarSecond, AxisPlace::FarEdge};
  SweepCoefficients tables;
  for (const AxisPlace rowPlace : kPlaces) {
    for (const AxisPlace colPlace : kPlaces) {
      const Molecule molecule = moleculeAt(rowPlace, colPlace);
      for (int mask = 0; mask <= 1; ++mask) {
        const float lambda = mask == 1 ? kSampleSmoothWeight : smoothWeight;
        VisitCoefficients& visit = tables.byPlace[static_cast<std::size_t>(rowPlace)]
                                                 [static_cast<std::size_t>(colPlace)][static_cast<std::size_t>(mask)];
        for (int slot = 0; slot < kStencilSize; ++slot) {
          if (!molecule.present[slot]) continue;
          const float shareTerm = static_cast<float>(molecule.plateFactor[slot]) * plateWeight;
          const float coefficient = lambda * (shareTerm + static_cast<float>(molecule.constant[slot]));
          visit.coefficient[slot] = coefficient;
          visit.present[slot] = true;
        }
        visit.mask = mask;
        visit.diagonal = static_cast<float>(mask) + static_cast<float>(visit.coefficient[0]);
        visit.step = relaxation / visit.diagonal;
      }
    }
  }
  for (int mask = 0; mask <= 1; ++mask) {
    const VisitCoefficients& visit =
        tables.byPlace[static_cast<std::size_t>(AxisPlace::Inner)][static_cast<std::size_t>(AxisPlace::Inner)]
                      [static_cast<std::size_t>(mask)];
    // Slots 9 and 10 of the stencil are (0,+1) and (0,+2); slot 2 is (-1,-1).
    tables.inner[static_cast<std::size_t>(mask)] = {visit.mask,           visit.coefficient[0],  visit.coefficient[9],
                                                    visit.coefficient[2], visit.coefficient[10], visit.step};
  }
  return tables;
}

namespace {

// Where a stencil cell's current value lies: the cells above the visited row
// and to its left in the row have been visited in this sweep.
inline bool visitedBefore(StencilOffset offset) {
  return offset.row < 0 || (offset.row == 0 && offset.col < 0);
}

// A pixel near an edge: its molecule comes from the place table and only the
// coupled cells are read.
inline float visitEdgePixel(const SweepPlanes& planes, std::ptrdiff_t index, const VisitCoefficients& k,
                            VisitRecord& record) {
  const auto previous = static_cast<float>(planes.source[index]);
  double residual = k.mask * (static_cast<double>(previous) - static_cast<double>(planes.depth[index]));
  residual += k.coefficient[0] * static_cast<double>(previous);
  for (int slot = 1; slot < kStencilSize; ++slot) {
    if (!k.present[slot]) continue;
    const StencilOffset offset = kStencil[slot];
    const double* const plane = visitedBefore(offset) ? planes.target : planes.source;
    residual += k.coefficient[slot] * plane[index + static_cast<std::ptrdiff_t>(offset.row) * planes.cols + offset.col];
  }
  const float updated = clampGrayLevel(static_cast<float>(static_cast<double>(previous) - residual * k.step));
  planes.target[index] = updated;
  record.previousValue = previous;
  record.pixelDiagonal = k.diagonal;
  record.lastChange = std::fabs(updated - previous);
  return record.lastChange;
}

// A pixel two or more cells from every edge: the inner molecule, picked by
// mask without a branch. The two left neighbours come in as doubles, so that
// a run of visits along a row keeps them in registers; inlined for the same
// reason.
[[gnu::always_inline]] inline float visitInnerPixel(const SweepPlanes& planes, std::ptrdiff_t index,
                                                    const std::array<InnerCoefficients, 2>& inner, double& left1,
                                                    double& left2) {
  const std::ptrdiff_t stride = planes.cols;
  const double* const above = planes.target + index - stride;
  const double* const here = planes.source + index;
  const double* const below = here + stride;
  const InnerCoefficients& k = inner[planes.sparseness[index] != 0];
  const double own = *here;
  double residual = k.mask * (own - static_cast<double>(planes.depth[index]));
  residual += k.own * own;
  residual += k.twoStep * above[-stride];
  residual += k.diagonal * above[-1];
  residual += k.axial * above[0];
  residual += k.diagonal * above[1];
  residual += k.diagonal * below[-1];
  residual += k.axial * below[0];
  residual += k.diagonal * below[1];
  residual += k.twoStep * below[stride];
  residual += k.axial * here[1];
  residual += k.twoStep * here[2];
  residual += k.twoStep * left2;
  residual += k.axial * left1;
  const float updated = clampGrayLevel(static_cast<float>(own - residual * k.step));
  planes.target[index] = updated;
  left2 = left1;
  left1 = updated;
  const auto previous = static_cast<float>(own);
  return std::fabs(updated - previous);
}

}  // namespace

bool canSweepWith(SweepVectors vectors) {
  if (vectors == SweepVectors::Pairs) return true;
  const ProcessorFeatures& processor = processorFeatures();
  return processor.avx2 && processor.avx512f && processor.avx512vl;
}

SweepVectors widestSweepVectors() {
  static const SweepVectors widest = canSweepWith(SweepVectors::Quads) ? SweepVectors::Quads : SweepVectors::Pairs;
  return widest;
}

BandSweeper::BandSweeper(const SweepCoefficients& coefficients, int32_t cols, SweepVectors vectors)
    : coefficients_(coefficients),
      vectors_(vectors),
      bandRows_(vectors == SweepVectors::Quads ? kQuadBandRows : kPairBandRows),
      changes_(2 * static_cast<std::size_t>(kMaxBandRows) * static_cast<std::size_t>(cols)),
      bandChanges_(changes_.data()) {}

// Rows firstRow .. firstRow + BandRows - 1, all two or more from the top and
// bottom edges. At step s, row i of the band visits column s - i x lag; in the
// steps where every row is at an inner column the visits need no place test.
template <int32_t BandRows>
void BandSweeper::sweepInnerBand(const SweepPlanes& planes, int32_t firstRow, VisitRecord& lastVisit) {
  const int32_t cols = planes.cols;
  const std::ptrdiff_t bandStart = static_cast<std::ptrdiff_t>(firstRow) * cols;
  const auto& rowTables = coefficients_.byPlace[static_cast<std::size_t>(AxisPlace::Inner)];
  float* const changes = bandChanges_;

  const auto visitAnywhere = [&](int32_t step) {
    for (int32_t i = 0; i < BandRows; ++i) {
      const int32_t col = step - i * kBandLag;
      if (col < 0 || col >= cols) continue;
      const std::ptrdiff_t index = bandStart + static_cast<std::ptrdiff_t>(i) * cols + col;
      const AxisPlace colPlace = axisPlace(col, cols);
      float change;
      if (colPlace == AxisPlace::Inner) {
        double left1 = planes.target[index - 1];
        double left2 = planes.target[index - 2];
        change = visitInnerPixel(planes, index, coefficients_.inner, left1, left2);
      } else {
        const VisitCoefficients& k = rowTables[static_cast<std::size_t>(colPlace)][planes.sparseness[index] != 0];
        change = visitEdgePixel(planes, index, k, lastVisit);
      }
      changes[static_cast<std::ptrdiff_t>(i) * cols + col] = change;
    }
  };

  const int32_t lastStep = cols - 1 + (BandRows - 1) * kBandLag;
  const int32_t firstSteadyStep = 2 + (BandRows - 1) * kBandLag;
  const int32_t lastSteadyStep = cols - 3;
  int32_t step = 0;
  for (; step < firstSteadyStep && step <= lastStep; ++step) visitAnywhere(step);
  if (firstSteadyStep <= lastSteadyStep) {
    sweepSteadySteps<BandRows>(planes, bandStart, firstSteadyStep, lastSteadyStep);
    step = lastSteadyStep + 1;
  }
  for (; step <= lastStep; ++step) visitAnywhere(step);
}

// The steps of a band in which every row is at an inner column. Rows are
// visited four or two at a time, one in each lane of a vector, where the
// processor has them; otherwise one by one. Either way each row's two left
// neighbours stay in registers from step to step, and with vectors the other
// cells a visit shares with the row's next visits too.
template <int32_t BandRows>
void BandSweeper::sweepSteadySteps(const SweepPlanes& planes, std::ptrdiff_t bandStart, int32_t firstStep,
                                   int32_t lastStep) {
  const int32_t cols = planes.cols;
  float* const changes = bandChanges_;
  // Row `row` of the band at step `step`, as an offset from the band's start.
  const auto offsetOf = [cols](int32_t row, int32_t step) {
    return static_cast<std::ptrdiff_t>(row) * cols + step - row * kBandLag;
  };
#if defined(__x86_64__)
  if constexpr (BandRows % 4 == 0) {
    if (vectors_ == SweepVectors::Quads) return sweepSteadyQuads<BandRows>(planes, bandStart, firstStep, lastStep);
  }
#endif
#if defined(__SSE2__)
  if constexpr (BandRows % 2 == 0) {
    constexpr int32_t kPairs = BandRows / 2;
    const InnerPairTable table = makeInnerPairTable(coefficients_.inner);
    const std::ptrdiff_t pairOffset = offsetOf(1, 0);
    InnerPairWindow windows[kPairs];
    for (int32_t pair = 0; pair < kPairs; ++pair)
      windows[pair] = startInnerPairWindow(planes, bandStart + offsetOf(2 * pair, firstStep), pairOffset);
    // Held in locals: the compiler cannot tell the members from the change
    // buffer the visits write to.
    float changeSum = changeSum_;
    const float* pending = pending_.next;
    const float* const pendingEnd = pending_.end;
    const auto visitEveryPair = [&]<std::size_t... Pair>(int32_t step, std::index_sequence<Pair...>) {
      (visitInnerPair(planes, bandStart + offsetOf(2 * Pair, step), pairOffset, table, windows[Pair],
                      changes + offsetOf(2 * Pair, step)),
       ...);
      if (pendingEnd - pending >= BandRows) {
        ((changeSum += pending[2 * Pair], changeSum += pending[2 * Pair + 1]), ...);
        pending += BandRows;
      }
    };
    for (int32_t step = firstStep; step <= lastStep; ++step) visitEveryPair(step, std::make_index_sequence<kPairs>{});
    changeSum_ = changeSum;
    pending_.next = pending;
    return;
  }
#endif
  std::array<double, BandRows> left1;
  std::array<double, BandRows> left2;
  for (int32_t row = 0; row < BandRows; ++row) {
    const std::ptrdiff_t index = bandStart + offsetOf(row, firstStep);
    left1[row] = planes.target[index - 1];
    left2[row] = planes.target[index - 2];
  }
  const auto visitEveryRow = [&]<std::size_t... Row>(int32_t step, std::index_sequence<Row...>) {
    ((changes[offsetOf(Row, step)] =
          visitInnerPixel(planes, bandStart + offsetOf(Row, step), coefficients_.inner, left1[Row], left2[Row])),
     ...);
  };
  for (int32_t step = firstStep; step <= lastStep; ++step) visitEveryRow(step, std::make_index_sequence<BandRows>{});
}

#if defined(__x86_64__)
FILAMORPH_BEGIN_QUAD_CODE
// As the pairs of sweepSteadySteps, four rows to a vector.
template <int32_t BandRows>
void BandSweeper::sweepSteadyQuads(const SweepPlanes& planes, std::ptrdiff_t bandStart, int32_t firstStep,
                                   int32_t lastStep) {
  constexpr int32_t kQuads = BandRows / 4;
  const int32_t cols = planes.cols;
  float* const changes = bandChanges_;
  const auto offsetOf = [cols](int32_t row, int32_t step) {
    return static_cast<std::ptrdiff_t>(row) * cols + step - row * kBandLag;
  };
  InnerQuadTable table;
  makeInnerQuadTable(coefficients_.inner, table);
  const std::ptrdiff_t rowOffset = offsetOf(1, 0);
  InnerQuadWindow windows[kQuads];
  for (int32_t quad = 0; quad < kQuads; ++quad)
    windows[quad] = startInnerQuadWindow(planes, bandStart + offsetOf(4 * quad, firstStep), rowOffset);
  float changeSum = changeSum_;
  const float* pending = pending_.next;
  const float* const pendingEnd = pending_.end;
  const auto visitEveryQuad = [&]<std::size_t... Quad>(int32_t step, std::index_sequence<Quad...>) {
    (visitInnerQuad(planes, bandStart + offsetOf(4 * Quad, step), rowOffset, table, windows[Quad],
                    changes + offsetOf(4 * Quad, step)),
     ...);
    if (pendingEnd - pending >= BandRows) {
      for (int32_t i = 0; i < BandRows; ++i) changeSum += pending[i];
      pending += BandRows;
    }
  };
  for (int32_t step = firstStep; step <= lastStep; ++step) visitEveryQuad(step, std::make_index_sequence<kQuads>{});
  changeSum_ = changeSum;
  pending_.next = pending;
}
FILAMORPH_END_QUAD_CODE
#endif

void BandSweeper::addPendingChanges() {
  while (pending_.next != pending_.end) changeSum_ += *pending_.next++;
}

// The last band may have fewer rows than the others.
template <int32_t BandRows>
void BandSweeper::sweepBandOfUpTo(const SweepPlanes& planes, int32_t firstRow, int32_t rowCount,
                                  VisitRecord& lastVisit) {
  if constexpr (BandRows > 1) {
    if (rowCount < BandRows) return sweepBandOfUpTo<BandRows - 1>(planes, firstRow, rowCount, lastVisit);
  }
  sweepInnerBand<BandRows>(planes, firstRow, lastVisit);
}

std::optional<float> BandSweeper::sweep(const SweepPlanes& planes, VisitRecord& lastVisit, SweepGate* gate) {
  const std::optional<float> sum = sweepRows(planes, 0, planes.rows, 0.0f, lastVisit, gate);
  if (!sum) return std::nullopt;
  return *sum / static_cast<float>(static_cast<int64_t>(planes.rows) * planes.cols);
}

std::optional<float> BandSweeper::sweepRows(const SweepPlanes& planes, int32_t firstRow, int32_t endRow,
                                            float sumBefore, VisitRecord& lastVisit, SweepGate* gate) {
  const int32_t rows = planes.rows;
  const int32_t cols = planes.cols;
  changeSum_ = sumBefore;
  pending_ = {};

  // The two rows at each edge, one pixel after the other.
  const auto sweepEdgeRows = [&](int32_t fromRow, int32_t toRow) {
    for (int32_t row = fromRow; row < toRow; ++row) {
      const auto& rowTables = coefficients_.byPlace[static_cast<std::size_t>(axisPlace(row, rows))];
      for (int32_t col = 0; col < cols; ++col) {
        const std::ptrdiff_t index = static_cast<std::ptrdiff_t>(row) * cols + col;
        const VisitCoefficients& k =
            rowTables[static_cast<std::size_t>(axisPlace(col, cols))][planes.sparseness[index] != 0];
        changeSum_ += visitEdgePixel(planes, index, k, lastVisit);
      }
    }
  };
  // A band reads the source down to two rows below its last one.
  const auto await = [&](int32_t toRow) { return gate == nullptr || gate->awaitSourceRows(std::min(toRow + 2, rows)); };
  const auto finished = [&](int32_t toRow) {
    if (gate != nullptr) gate->finishedRows(toRow);
  };

  if (firstRow == 0) {
    if (!await(2)) return std::nullopt;
    sweepEdgeRows(0, 2);
    finished(2);
  }
  const int32_t endInner = std::min(endRow, rows - 2);
  for (int32_t bandStart = std::max(firstRow, 2); bandStart < endInner; bandStart += bandRows_) {
    const int32_t bandRows = std::min(bandRows_, endInner - bandStart);
    if (!await(bandStart + bandRows)) return std::nullopt;
    sweepBandOfUpTo<kMaxBandRows>(planes, bandStart, bandRows, lastVisit);
    addPendingChanges();
    pending_ = {bandChanges_, bandChanges_ + static_cast<std::ptrdiff_t>(bandRows) * cols};
    bandChanges_ = changes_.data() + (bandChanges_ == changes_.data() ? changes_.size() / 2 : 0);
    finished(bandStart + bandRows);
  }
  addPendingChanges();
  if (endRow == rows) {
    if (!await(rows)) return std::nullopt;
    sweepEdgeRows(rows - 2, rows);
    finished(rows);
  }
  return changeSum_;
}

}  // namespace filamorph
