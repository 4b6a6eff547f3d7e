#include "reconstruct/FillInSweep.h"

#include <cmath>
#include <cstddef>

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
//   u_p <- float(double(u_p) - G x double(q)), then clampLevel;
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
    tables.inner[static_cast<std::size_t>(mask)] = {visit.mask,           visit.coefficient[0],
                                                    visit.coefficient[9], visit.coefficient[2],
                                                    visit.coefficient[10], visit.step};
  }
  return tables;
}

namespace {

// A pixel near an edge: its molecule comes from the place table and only the
// coupled cells are read.
inline float visitEdgePixel(float* const* work, int32_t row, int32_t col, const VisitCoefficients& k, uint8_t depth,
                            VisitRecord& record) {
  float* const target = work[row] + col;
  const float previous = *target;
  double residual = k.mask * (static_cast<double>(previous) - static_cast<double>(depth));
  residual += k.coefficient[0] * static_cast<double>(previous);
  for (int slot = 1; slot < kStencilSize; ++slot) {
    if (!k.present[slot]) continue;
    const float neighbour = work[row + kStencil[slot].row][col + kStencil[slot].col];
    residual += k.coefficient[slot] * static_cast<double>(neighbour);
  }
  const float updated = clampLevel(static_cast<float>(static_cast<double>(previous) - residual * k.step));
  *target = updated;
  record.previousValue = previous;
  record.pixelDiagonal = k.diagonal;
  record.lastChange = std::fabs(updated - previous);
  return record.lastChange;
}

// Rows 2 .. rows - 3, columns 2 .. cols - 3: every pixel uses the inner
// molecule, picked by mask without a branch. The two left neighbours stay in
// registers from the previous visits.
inline float sweepInnerRun(float* const* work, int32_t row, int32_t firstCol, int32_t endCol, const uint8_t* mask,
                           const uint8_t* depth, const std::array<InnerCoefficients, 2>& inner, float changeSum) {
  const float* above2 = work[row - 2];
  const float* above = work[row - 1];
  float* here = work[row];
  const float* below = work[row + 1];
  const float* below2 = work[row + 2];
  double left2 = here[firstCol - 2];
  double left1 = here[firstCol - 1];
  for (int32_t col = firstCol; col < endCol; ++col) {
    const InnerCoefficients& k = inner[mask[col] != 0];
    const float previous = here[col];
    const double own = previous;
    double residual = k.mask * (own - static_cast<double>(depth[col]));
    residual += k.own * own;
    residual += k.twoStep * static_cast<double>(above2[col]);
    residual += k.diagonal * static_cast<double>(above[col - 1]);
    residual += k.axial * static_cast<double>(above[col]);
    residual += k.diagonal * static_cast<double>(above[col + 1]);
    residual += k.diagonal * static_cast<double>(below[col - 1]);
    residual += k.axial * static_cast<double>(below[col]);
    residual += k.diagonal * static_cast<double>(below[col + 1]);
    residual += k.twoStep * static_cast<double>(below2[col]);
    residual += k.axial * static_cast<double>(here[col + 1]);
    residual += k.twoStep * static_cast<double>(here[col + 2]);
    residual += k.twoStep * left2;
    residual += k.axial * left1;
    const float updated = clampLevel(static_cast<float>(own - residual * k.step));
    here[col] = updated;
    changeSum += std::fabs(updated - previous);
    left2 = left1;
    left1 = updated;
  }
  return changeSum;
}

}  // namespace

float runSweep(Plane<float>& work, const Plane<uint8_t>& sparseness, const Plane<uint8_t>& depth,
               const SweepCoefficients& coefficients, VisitRecord& lastVisit) {
  const int32_t rows = work.rows();
  const int32_t cols = work.cols();
  float* const* const table = work.rowTable();
  float changeSum = 0.0f;
  for (int32_t row = 0; row < rows; ++row) {
    const auto& rowTables = coefficients.byPlace[static_cast<std::size_t>(axisPlace(row, rows))];
    const uint8_t* const maskRow = sparseness[row];
    const uint8_t* const depthRow = depth[row];
    const auto visit = [&](int32_t col) {
      const VisitCoefficients& k = rowTables[static_cast<std::size_t>(axisPlace(col, cols))][maskRow[col] != 0];
      changeSum += visitEdgePixel(table, row, col, k, depthRow[col], lastVisit);
    };
    if (row >= 2 && row < rows - 2) {
      visit(0);
      visit(1);
      changeSum = sweepInnerRun(table, row, 2, cols - 2, maskRow, depthRow, coefficients.inner, changeSum);
      visit(cols - 2);
      visit(cols - 1);
    } else {
      for (int32_t col = 0; col < cols; ++col) visit(col);
    }
  }
  return changeSum / static_cast<float>(static_cast<int64_t>(rows) * cols);
}

}  // namespace filamorph
