#ifndef FILAMORPH_BENCH_BANDMODEL_H
#define FILAMORPH_BENCH_BANDMODEL_H
// The solver benchmarks' model: samples where a contour model would put them.

#include <cstdint>

#include "image/Plane.h"

namespace filamorph {

// Bands a few pixels wide along 28 circles, with the levels of a smooth
// picture; roughly a tenth of the pixels. The circles scale with the size,
// so every size shows the same layout; the picture of levels repeats every
// 1 / 0.03 rows and 1 / 0.05 columns times `levelPeriod`.
struct BandModel {
  Plane<uint8_t> sparseness;
  Plane<uint8_t> depth;
};

BandModel bandModel(int size, double levelPeriod);

}  // namespace filamorph

#endif  // FILAMORPH_BENCH_BANDMODEL_H
