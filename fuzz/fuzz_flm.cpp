// libFuzzer target for the compressed-file reader, in memory. Any bytes must be
// refused or read without a crash or hang; a model that was read must write
// out and read back to the same contours, points, extents and weights.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/Messages.h"
#include "codecfile/BitFile.h"
#include "contours/ContourCoder.h"

namespace {

using filamorph::BitFile;
using filamorph::ContourCoder;
using filamorph::ContourPoint;

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// Writes the model into memory and reads it back, as a file would travel.
bool rereadInMemory(ContourCoder& decoded, ContourCoder& reread) {
  char* buffer = nullptr;
  std::size_t length = 0;
  std::FILE* sink = open_memstream(&buffer, &length);
  if (sink == nullptr) return false;
  BitFile out;
  require(out.openStream(sink, true));
  require(decoded.writeCodedStream(out, "round trip").ok());
  require(out.closeFile());
  std::FILE* source = fmemopen(buffer, length, "rb");
  require(source != nullptr);
  BitFile in;
  require(in.openStream(source, false));
  const bool read = reread.readCodedStream(in, "round trip").ok();
  in.closeFile();
  std::free(buffer);
  return read;
}

bool samePoint(const ContourPoint& a, const ContourPoint& b) {
  return a.row == b.row && a.col == b.col && a.leftExtent == b.leftExtent && a.rightExtent == b.rightExtent &&
         a.weightLeft == b.weightLeft && a.weightMiddle == b.weightMiddle && a.weightRight == b.weightRight &&
         a.baseLevel == b.baseLevel;
}

void checkRoundTrip(ContourCoder& decoded) {
  ContourCoder reread;
  require(rereadInMemory(decoded, reread));
  require(reread.width == decoded.width && reread.height == decoded.height);
  require(reread.contours.size() == decoded.contours.size());
  for (size_t i = 0; i < decoded.contours.size(); ++i) {
    const auto& original = decoded.contours[i].points;
    const auto& copy = reread.contours[i].points;
    require(copy.size() == original.size());
    for (size_t j = 0; j < original.size(); ++j) require(samePoint(copy[j], original[j]));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (filamorph::setMessageHandler([](const std::string&, filamorph::MessageSeverity) {}), true);
  (void)quiet;
  if (size == 0) return 0;
  std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (stream == nullptr) return 0;
  BitFile file;
  require(file.openStream(stream, false));
  ContourCoder coder;
  const bool read = coder.readCodedStream(file, "fuzz input").ok();
  file.closeFile();
  if (!read) {
    require(coder.contours.empty() && coder.width == 0 && coder.height == 0);
    return 0;
  }
  require(coder.contourCount == static_cast<int32_t>(coder.contours.size()));
  for (const auto& contour : coder.contours) {
    require(contour.pointCount == static_cast<int32_t>(contour.points.size()) && contour.pointCount >= 2);
    for (const ContourPoint& point : contour.points) require(coder.isInside(point.row, point.col));
  }
  checkRoundTrip(coder);
  return 0;
}
