#ifndef FILAMORPH_EVALUATION_GRAYINPUT_H
#define FILAMORPH_EVALUATION_GRAYINPUT_H
// The gray plane that Open Image makes of a BMP, PNG or PGM/PPM file.

#include <cstdint>
#include <string>

#include "base/Status.h"
#include "image/Plane.h"

namespace filamorph::evaluation {

struct GrayInput {
  Plane<uint8_t> plane;
  Status status;
};

// Opens the file with the Open Image command in a pipeline of its own, so
// that two images are compared exactly as the codec sees them.
GrayInput readGrayInput(const std::string& path);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_GRAYINPUT_H
