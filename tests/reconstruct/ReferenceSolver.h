#ifndef FILAMORPH_TESTS_RECONSTRUCT_REFERENCESOLVER_H
#define FILAMORPH_TESTS_RECONSTRUCT_REFERENCESOLVER_H
// A plain, slow fill-in solver written straight from the class table, against
// which the real solver is checked bit for bit (and timed in the benchmark).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "reconstruct/DitherGenerator.h"

namespace filamorph::reference {

struct Parameters {
  float smoothWeight = 64.0f;
  float plateWeight = 0.5f;
  float relaxation = 1.1f;
  float tolerance = 0.0005f;
  uint8_t dither = 1;
};

// A molecule as integer pairs (a, b), coefficient a x N + b, on a 5 x 5 grid
// centred on the pixel: grid[2 + rowOffset][2 + colOffset].
struct IntegerMolecule {
  bool present[5][5] = {};
  int a[5][5] = {};
  int b[5][5] = {};
};

enum Closeness { kEdge = 0, kSecond = 1, kInner = 2 };

struct Group {
  int a;
  int b;
  std::vector<std::array<int, 2>> offsets;
};

struct DrawnClass {
  int rowCloseness;
  int colCloseness;
  int ownA;
  int ownB;
  std::vector<Group> others;
};

// The six classes as drawn for a pixel near the top and left edges.
inline const std::vector<DrawnClass>& drawnClasses() {
  static const std::vector<DrawnClass> classes = {
      {kInner, kInner, 16, 4,
       {{-7, -1, {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}},
        {2, 0, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
        {1, 0, {{2, 0}, {-2, 0}, {0, 2}, {0, -2}}}}},
      {kSecond, kInner, 15, 4,
       {{-7, -1, {{1, 0}, {0, 1}, {0, -1}}},
        {-5, -1, {{-1, 0}}},
        {2, 0, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
        {1, 0, {{2, 0}, {0, 2}, {0, -2}}}}},
      {kEdge, kInner, 8, 3,
       {{-5, -1, {{1, 0}, {0, 1}, {0, -1}}}, {2, 0, {{1, 1}, {1, -1}}}, {1, 0, {{2, 0}, {0, 2}, {0, -2}}}}},
      {kSecond, kSecond, 14, 4,
       {{-7, -1, {{1, 0}, {0, 1}}},
        {-5, -1, {{-1, 0}, {0, -1}}},
        {2, 0, {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}},
        {1, 0, {{2, 0}, {0, 2}}}}},
      {kEdge, kSecond, 7, 3,
       {{-5, -1, {{1, 0}, {0, 1}}}, {-3, -1, {{0, -1}}}, {2, 0, {{1, 1}, {1, -1}}}, {1, 0, {{2, 0}, {0, 2}}}}},
      {kEdge, kEdge, 2, 2, {{-3, -1, {{1, 0}, {0, 1}}}, {2, 0, {{1, 1}}}, {1, 0, {{2, 0}, {0, 2}}}}},
  };
  return classes;
}

inline int closeness(int index, int count) { return std::min({index, count - 1 - index, 2}); }
inline bool nearerFarEdge(int index, int count) { return count - 1 - index < index; }

// Pixel (row, col) of a rows x cols plane, rows and cols at least 4.
inline IntegerMolecule moleculeOf(int row, int col, int rows, int cols) {
  const int rowCloseness = closeness(row, rows);
  const int colCloseness = closeness(col, cols);
  const bool transpose = colCloseness < rowCloseness;
  const int drawnRow = transpose ? colCloseness : rowCloseness;
  const int drawnCol = transpose ? rowCloseness : colCloseness;
  const int rowMirror = nearerFarEdge(row, rows) ? -1 : 1;
  const int colMirror = nearerFarEdge(col, cols) ? -1 : 1;

  IntegerMolecule molecule;
  const auto place = [&](int dr, int dc, int a, int b) {
    if (transpose) std::swap(dr, dc);
    dr *= rowMirror;
    dc *= colMirror;
    molecule.present[2 + dr][2 + dc] = true;
    molecule.a[2 + dr][2 + dc] = a;
    molecule.b[2 + dr][2 + dc] = b;
  };
  for (const DrawnClass& drawn : drawnClasses()) {
    if (drawn.rowCloseness != drawnRow || drawn.colCloseness != drawnCol) continue;
    place(0, 0, drawn.ownA, drawn.ownB);
    for (const Group& group : drawn.others)
      for (const auto& offset : group.offsets) place(offset[0], offset[1], group.a, group.b);
  }
  return molecule;
}

// The scratch values of the latest visit.
struct Visit {
  float lastChange = 0.0f;
  float pixelDiagonal = 0.0f;
  float previousValue = 0.0f;
};

// One sweep over u (row-major), mask holding 0 or 1. Returns the mean change.
inline float sweep(std::vector<float>& u, const std::vector<uint8_t>& mask, const std::vector<uint8_t>& depth,
                   int rows, int cols, const Parameters& parameters, Visit& visit) {
  const auto at = [&](int r, int c) -> float& { return u[static_cast<size_t>(r) * cols + c]; };
  float meanChange = 0.0f;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const size_t index = static_cast<size_t>(r) * cols + c;
      const int m = mask[index];
      const int d = depth[index];
      const float lambda = m == 1 ? 0.01f : parameters.smoothWeight;
      const IntegerMolecule molecule = moleculeOf(r, c, rows, cols);
      const auto coefficient = [&](int dr, int dc) {
        const float plate = static_cast<float>(molecule.a[2 + dr][2 + dc]) * parameters.plateWeight;
        return lambda * (plate + static_cast<float>(molecule.b[2 + dr][2 + dc]));
      };
      const auto term = [&](int dr, int dc) {
        return static_cast<double>(coefficient(dr, dc)) * static_cast<double>(at(r + dr, c + dc));
      };

      const float previous = at(r, c);
      const float own = coefficient(0, 0);
      const float diagonal = static_cast<float>(m) + own;
      const float step = parameters.relaxation / diagonal;

      double g = static_cast<double>(m) * (static_cast<double>(previous) - static_cast<double>(d));
      g += static_cast<double>(own) * static_cast<double>(previous);
      for (int dr : {-2, -1, 1, 2})
        for (int dc = -2; dc <= 2; ++dc)
          if (molecule.present[2 + dr][2 + dc]) g += term(dr, dc);
      for (int dc : {1, 2, -2, -1})
        if (molecule.present[2][2 + dc]) g += term(0, dc);

      float updated = static_cast<float>(static_cast<double>(previous) - g * static_cast<double>(step));
      if (updated > 255.0f)
        updated = 255.0f;
      else if (!(updated >= 0.0f))
        updated = 0.0f;
      at(r, c) = updated;

      visit.previousValue = previous;
      visit.pixelDiagonal = diagonal;
      visit.lastChange = std::fabs(updated - previous);
      meanChange += visit.lastChange;
    }
  }
  return meanChange / static_cast<float>(rows * cols);
}

struct Result {
  std::vector<float> work;
  std::vector<uint8_t> gray;
  std::vector<uint8_t> mask;
  std::vector<float> sweepMeans;
  float meanChange = 0.0f;
  Visit lastVisit;
};

// A whole solve: start values, sweeps until the mean change falls below the
// tolerance (none on planes under 4 x 4), dithered output.
inline Result solve(std::vector<uint8_t> sparseness, const std::vector<uint8_t>& depth, int rows, int cols,
                    const Parameters& parameters, DitherGenerator& generator, Visit startVisit = {}) {
  Result result;
  result.lastVisit = startVisit;
  result.work.resize(static_cast<size_t>(rows) * cols);
  for (size_t i = 0; i < result.work.size(); ++i) {
    if (sparseness[i] != 0) sparseness[i] = 1;
    result.work[i] = sparseness[i] == 1 ? static_cast<float>(depth[i]) : 128.0f;
  }
  if (rows >= 4 && cols >= 4) {
    do {
      result.meanChange = sweep(result.work, sparseness, depth, rows, cols, parameters, result.lastVisit);
      result.sweepMeans.push_back(result.meanChange);
    } while (result.meanChange >= parameters.tolerance);
  }
  result.gray.resize(result.work.size());
  for (size_t i = 0; i < result.work.size(); ++i) {
    float value = result.work[i];
    if (sparseness[i] == 0 && parameters.dither == 1) {
      value = generator.next() % 2 == 1 ? value + 0.5f : value - 0.5f;
      if (value > 255.0f)
        value = 255.0f;
      else if (!(value >= 0.0f))
        value = 0.0f;
      result.work[i] = value;
    }
    result.gray[i] = static_cast<uint8_t>(static_cast<int>(value));
  }
  result.mask = std::move(sparseness);
  return result;
}

}  // namespace filamorph::reference

#endif  // FILAMORPH_TESTS_RECONSTRUCT_REFERENCESOLVER_H
