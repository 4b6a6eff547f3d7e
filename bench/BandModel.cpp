#include "BandModel.h"

#include <cmath>
#include <random>

namespace filamorph {

BandModel bandModel(int size, double levelPeriod) {
  BandModel model;
  model.sparseness.allocate(size, size, true);
  model.depth.allocate(size, size, true);
  std::mt19937 random(2024u);
  const double scale = size / 512.0;
  std::uniform_real_distribution<double> position(0.0, size);
  std::uniform_real_distribution<double> radius(10.0 * scale, 120.0 * scale);
  for (int circle = 0; circle < 28; ++circle) {
    const double centreRow = position(random);
    const double centreCol = position(random);
    const double circleRadius = radius(random);
    for (int r = 0; r < size; ++r) {
      for (int c = 0; c < size; ++c) {
        if (std::fabs(std::hypot(r - centreRow, c - centreCol) - circleRadius) > 1.5) continue;
        model.sparseness[r][c] = 1;
        model.depth[r][c] =
            static_cast<uint8_t>(128.0 + 100.0 * std::sin(r * 0.03 / levelPeriod) * std::cos(c * 0.05 / levelPeriod));
      }
    }
  }
  return model;
}

}  // namespace filamorph
