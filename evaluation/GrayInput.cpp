#include "evaluation/GrayInput.h"

#include <cstring>

#include "commands/CodecPipeline.h"

namespace filamorph::evaluation {

GrayInput readGrayInput(const std::string& path) {
  GrayInput result;
  CodecPipeline pipeline;
  result.status = pipeline.analyse(path, AnalysisStage::Opened);
  if (!result.status) return result;
  const Plane<uint8_t>& gray = pipeline.importedGray();
  result.plane.allocate(gray.rows(), gray.cols());
  if (result.plane.size() > 0) std::memcpy(result.plane.data(), gray.data(), result.plane.size());
  return result;
}

}  // namespace filamorph::evaluation
