#ifndef FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
#define FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
// Small models for the fill-in solver tests and the means to load and read them.

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "reconstruct/FineOperator.h"
#include "reconstruct/Reconstructor.h"
#include "reconstruct/ReferenceSolver.h"

namespace filamorph::testing {

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

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_RECONSTRUCT_SOLVERFIXTURES_H
