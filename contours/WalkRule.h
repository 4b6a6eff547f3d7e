#ifndef FILAMORPH_CONTOURS_WALKRULE_H
#define FILAMORPH_CONTOURS_WALKRULE_H
// The walk along a chain of 8-connected pixels shared by labelling and ordering.

#include <array>
#include <cstdint>

#include "image/Compass.h"
#include "image/GrayImage.h"

namespace filamorph {

// Walks from (row, col) with direction code `direction`, marking every pixel
// it stands on; isCandidate(row, col) says which unmarked neighbours it may
// enter, so marking must make a pixel stop being a candidate. With a single
// candidate the walk takes it; with several it keeps straight on, ends when
// straight on leaves the image, and otherwise takes the smallest turn,
// counter-clockwise before clockwise, never straight back. A loop: the
// length of a walk is limited only by the number of pixels.
template <typename IsCandidate, typename Mark>
void walkByRule(const GrayImage& image, const DirectionTable& offsets, int32_t row, int32_t col,
                int32_t direction, IsCandidate isCandidate, Mark mark) {
  if (!image.isInside(row, col)) return;
  direction = ((direction % 8) + 8) % 8;
  for (;;) {
    mark(row, col);

    int32_t candidates = 0;
    int32_t firstRow = 0;
    int32_t firstCol = 0;
    for (int32_t rowStep = -1; rowStep <= 1; ++rowStep) {
      for (int32_t colStep = -1; colStep <= 1; ++colStep) {
        if (rowStep == 0 && colStep == 0) continue;
        const int32_t r = row + rowStep;
        const int32_t c = col + colStep;
        if (!image.isInside(r, c) || !isCandidate(r, c)) continue;
        if (candidates == 0) {
          firstRow = r;
          firstCol = c;
        }
        ++candidates;
      }
    }

    if (candidates == 0) return;
    if (candidates == 1) {
      direction = stepCode(offsets, firstRow - row, firstCol - col);
      if (direction < 0) return;
      row = firstRow;
      col = firstCol;
      continue;
    }

    const int32_t aheadRow = row + offsets[direction][0];
    const int32_t aheadCol = col + offsets[direction][1];
    if (!image.isInside(aheadRow, aheadCol)) return;
    if (isCandidate(aheadRow, aheadCol)) {
      row = aheadRow;
      col = aheadCol;
      continue;
    }

    bool turned = false;
    for (int32_t turn = 1; turn <= 3 && !turned; ++turn) {
      for (const int32_t code : {(direction + turn) % 8, (direction - turn + 8) % 8}) {
        const int32_t r = row + offsets[code][0];
        const int32_t c = col + offsets[code][1];
        if (!image.isInside(r, c) || !isCandidate(r, c)) continue;
        direction = code;
        row = r;
        col = c;
        turned = true;
        break;
      }
    }
    if (!turned) return;
  }
}

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_WALKRULE_H
