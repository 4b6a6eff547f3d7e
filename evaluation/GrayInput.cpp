#include "evaluation/GrayInput.h"

#include <cstring>

#include "commands/CommandSession.h"
#include "contours/ContourCoder.h"
#include "evaluation/ImageInput.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::evaluation {

GrayInput readGrayInput(const std::string& path) {
  GrayInput result;
  const BitmapInput input(path);
  if (!input.status()) {
    result.failure = Failure::InputOutput;
    result.error = input.status().message();
    return result;
  }
  ContourCoder analysis;
  Reconstructor reconstruction;
  CommandSession session(analysis, reconstruction);
  const Status opened = session.openImage(input.path());
  if (!opened) {
    result.failure = Failure::InputOutput;
    result.error = opened.message();
    return result;
  }
  if (!session.hasImage()) {
    result.failure = Failure::UnsupportedPixelFormat;
    result.error = path + ": unsupported pixel format (bitmaps must have 8 or 24 bits per pixel)";
    return result;
  }
  result.plane.allocate(analysis.grayPlane.rows(), analysis.grayPlane.cols());
  if (result.plane.size() > 0) std::memcpy(result.plane.data(), analysis.grayPlane.data(), result.plane.size());
  return result;
}

}  // namespace filamorph::evaluation
