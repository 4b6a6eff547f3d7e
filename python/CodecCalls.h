#ifndef FILAMORPH_PYTHON_CODECCALLS_H
#define FILAMORPH_PYTHON_CODECCALLS_H
// The module's four calls on plain C++ values, through the pipeline driver the command line uses.

#include <cstdint>
#include <span>
#include <vector>

#include "base/Status.h"
#include "commands/CodecPipeline.h"
#include "contours/Contour.h"
#include "image/Bitmap.h"
#include "image/Plane.h"

namespace filamorph::python {

// Each picture reaches the codec as the bitmap file the command line would
// be given, and each coded file as a .flm file, both temporary, so that every
// result is the command line's bit for bit. None of these touches Python:
// they run with the interpreter lock released.

// encode: Open Image to Obtain Filamorph, the selection, Compress to File.
Status encodePicture(const Bitmap& picture, const ContourChoice& choice, std::vector<uint8_t>& coded);

// decode: Open Coded Image and Reconstruct, by the exact sweeps or the
// converged fill-in, with a dither generator that starts at 1.
Status decodeCodedFile(std::span<const uint8_t> coded, bool converged, Plane<uint8_t>& image);

// What the dump commands show of a picture after Obtain Filamorph and the selection.
struct PictureAnalysis {
  Plane<uint8_t> gray;      // as Open Image imports it
  Plane<uint8_t> smoothed;  // as Detect Contours leaves it
  Plane<uint8_t> edges;     // the edge codes of Detect Contours
  std::vector<Contour> contours;
  Plane<uint8_t> depth;
  Plane<uint8_t> sparseness;
};
Status analysePicture(const Bitmap& picture, const ContourChoice& choice, PictureAnalysis& analysis);

// info: what the coded bytes hold, read without laying the model's planes.
Status describeCodedFile(std::span<const uint8_t> coded, CodedFileInfo& info);

}  // namespace filamorph::python

#endif  // FILAMORPH_PYTHON_CODECCALLS_H
