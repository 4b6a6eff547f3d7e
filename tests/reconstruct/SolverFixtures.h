#ifndef FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
#define FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
// Small models for the fill-in solver tests and the means to load and read them.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "reconstruct/CycleLevel.h"
#include "reconstruct/FineOperator.h"
#include "reconstruct/GridTransfer.h"
#include "reconstruct/Reconstructor.h"
#include "reconstruct/ReferenceSolver.h"
#include "reconstruct/StencilLevel.h"

namespace filamorph::testing {

// A symmetric level with random entries and a dominant diagonal: every
// cell's half stencil, cut where it would leave the grid.
inline void fillRandomly(StencilLevel& level, std::mt19937& random) {
  std::uniform_real_distribution<float> entry(-1.0f, 1.0f);
  const PaddedGrid& grid = level.grid();
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      for (int slot = 0; slot < kHalfStencilSize; ++slot) {
        const int32_t otherRow = row + kHalfOffsets[slot].row;
        const int32_t otherCol = col + kHalfOffsets[slot].col;
        if (otherRow < grid.rows && otherCol >= 0 && otherCol < grid.cols)
          level.entry(row, col, slot) = slot == 0 ? 30.0f + entry(random) : entry(random);
      }
    }
  }
  level.finish();
}

// A padded vector of random values in -1..1, zero in the margin.
inline std::vector<float> randomVector(const PaddedGrid& grid, std::mt19937& random) {
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<float> v(grid.cellCount(), 0.0f);
  for (int32_t row = 0; row < grid.rows; ++row)
    for (int32_t col = 0; col < grid.cols; ++col) v[static_cast<std::size_t>(grid.at(row, col))] = value(random);
  return v;
}

// The level's residual b - A x restricted to the coarse grid, its rows handed
// to the restriction in blocks as the smoothing hands them over.
inline std::vector<float> restrictedResidual(const AxisTransfer& rows, const AxisTransfer& cols,
                                             const CycleLevel& level, const float* b, const float* x,
                                             const PaddedGrid& coarse, int32_t rowsPerBlock) {
  const PaddedGrid& fine = level.grid();
  std::vector<float> restricted(coarse.cellCount(), 0.0f);
  const ResidualRestriction restriction(rows, cols, coarse, restricted.data());
  std::vector<float> residual(static_cast<std::size_t>(fine.cols));
  for (int32_t first = 0; first < fine.rows; first += rowsPerBlock) {
    const int32_t end = std::min(first + rowsPerBlock, fine.rows);
    restriction.beginBlock(first, end);
    for (int32_t row = std::max(first - restriction.reach(), 0); row < std::min(end + restriction.reach(), fine.rows);
         ++row) {
      const std::ptrdiff_t cell = fine.at(row, 0);
      level.residualRow(b + cell, x + cell, residual.data(), row);
      restriction.takeRow(row, residual.data());
    }
  }
  return restricted;
}

struct Model {
  int rows = 0;
  int cols = 0;
  std::vector<uint8_t> sparseness;
  std::vector<uint8_t> depth;
};

// Samples at about `sampleShare` of the pixels, with levels anywhere in
// 0..255 and sparseness marks 1 or 255 (both mean "sample").
inline Model randomModel(int rows, int cols, double sampleShare, unsigned seed) {
  std::mt19937 random(seed);
  std::bernoulli_distribution isSample(sampleShare);
  std::uniform_int_distribution<int> level(0, 255);
  Model model{rows, cols, std::vector<uint8_t>(static_cast<size_t>(rows) * cols),
              std::vector<uint8_t>(static_cast<size_t>(rows) * cols)};
  for (size_t i = 0; i < model.sparseness.size(); ++i) {
    if (!isSample(random)) continue;
    model.sparseness[i] = (random() & 1) != 0 ? 1 : 255;
    model.depth[i] = static_cast<uint8_t>(level(random));
  }
  return model;
}

inline Model uniformModel(int rows, int cols, uint8_t sparseness, uint8_t depth) {
  return {rows, cols, std::vector<uint8_t>(static_cast<size_t>(rows) * cols, sparseness),
          std::vector<uint8_t>(static_cast<size_t>(rows) * cols, depth)};
}

// The converged solver's operator of a model with samples at about a tenth
// of the pixels, at random levels.
inline FineOperator randomFineOperator(const PaddedGrid& grid, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> states(grid.cellCount(), 0);
  std::vector<uint8_t> levels(grid.cellCount(), 0);
  for (int32_t row = 0; row < grid.rows; ++row) {
    for (int32_t col = 0; col < grid.cols; ++col) {
      if (random() % 10 != 0) continue;
      const auto cell = static_cast<std::size_t>(grid.at(row, col));
      states[cell] = FineOperator::kSample;
      levels[cell] = static_cast<uint8_t>(random() % 256);
    }
  }
  return FineOperator(grid, 0.5f, std::move(states), std::move(levels));
}

// What the window's commands do: copy the size, make the model planes, lay
// the model into them.
inline void loadModel(Reconstructor& reconstructor, const Model& model) {
  reconstructor.rows = reconstructor.height = model.rows;
  reconstructor.cols = reconstructor.width = model.cols;
  reconstructor.allocateModelPlanes();
  for (int r = 0; r < model.rows; ++r) {
    for (int c = 0; c < model.cols; ++c) {
      reconstructor.sparsenessPlane[r][c] = model.sparseness[static_cast<size_t>(r) * model.cols + c];
      reconstructor.depthPlane[r][c] = model.depth[static_cast<size_t>(r) * model.cols + c];
    }
  }
}

inline void setParameters(Reconstructor& reconstructor, const reference::Parameters& parameters) {
  reconstructor.setSolverParameters(parameters.smoothWeight, parameters.plateWeight, parameters.relaxation,
                                    parameters.tolerance, parameters.dither);
}

template <typename T>
std::vector<T> contents(const Plane<T>& plane) {
  return std::vector<T>(plane.data(), plane.data() + plane.size());
}

// Floats as their bits, so that results compare bit for bit (0 and -0 apart).
inline uint32_t bitsOf(float value) {
  return std::bit_cast<uint32_t>(value);
}

inline std::vector<uint32_t> bitsOf(const std::vector<float>& values) {
  std::vector<uint32_t> bits;
  bits.reserve(values.size());
  for (const float value : values) bits.push_back(bitsOf(value));
  return bits;
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
