#ifndef FILAMORPH_RECONSTRUCT_RESIDUALSINK_H
#define FILAMORPH_RECONSTRUCT_RESIDUALSINK_H
// Where the rows of a level's residual go as a block of work makes them.

#include <cstdint>

namespace filamorph {

// Work over a level runs in blocks of rows, each on one thread. For a block
// of rows [first, end), `beginBlock` comes first, then `takeRow` for each row
// from first - reach() to end + reach() - 1 within the grid, in order. Rows
// near a block's ends come in both blocks; a sink uses each once.
class ResidualSink {
 public:
  virtual ~ResidualSink() = default;
  virtual int32_t reach() const = 0;
  virtual void beginBlock(int32_t first, int32_t end) const = 0;
  // `residual` holds the row's cols values.
  virtual void takeRow(int32_t row, const float* residual) const = 0;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_RESIDUALSINK_H
