#include "python/CodecCalls.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "base/TemporaryFile.h"
#include "image/BmpFile.h"

namespace filamorph::python {
namespace {

// The name callers see in messages instead of a temporary path.
constexpr const char* kPictureName = "the image";
constexpr const char* kCodedName = "the coded data";

Plane<uint8_t> copyOf(const Plane<uint8_t>& plane) {
  Plane<uint8_t> copy;
  copy.allocate(plane.rows(), plane.cols());
  if (plane.size() > 0) std::memcpy(copy.data(), plane.data(), plane.size());
  return copy;
}

Status writeBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  stream.close();
  if (!stream) return Status::failure(ErrorKind::InputOutput, "cannot write a temporary file " + path);
  return Status::success();
}

Status readBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream stream(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  if (!stream.good() && !stream.eof()) return Status::failure(ErrorKind::InputOutput, "cannot read " + path);
  return Status::success();
}

// Opens picture in pipeline and runs its analysis up to stage.
Status analyseBitmap(const Bitmap& picture, AnalysisStage stage, CodecPipeline& pipeline) {
  TemporaryFile file(".bmp");
  if (!file.status()) return file.status();
  if (Status written = writeBmpFile(file.path(), picture); !written) return written;
  if (Status analysed = pipeline.analyse(file.path(), stage); !analysed) {
    return analysed.withPathNamed(file.path(), kPictureName);
  }
  return Status::success();
}

// Hands the coded bytes to read as a file, which messages call by kCodedName.
template <typename Read>
Status readCodedBytes(std::span<const uint8_t> coded, const Read& read) {
  TemporaryFile file(".flm");
  if (!file.status()) return file.status();
  if (Status written = writeBytes(file.path(), coded); !written) return written;
  return read(file.path()).withPathNamed(file.path(), kCodedName);
}

Status openCoded(std::span<const uint8_t> coded, CodecPipeline& pipeline) {
  return readCodedBytes(coded, [&](const std::string& path) { return pipeline.readCodedFile(path); });
}

}  // namespace

Status encodePicture(const Bitmap& picture, const ContourChoice& choice, std::vector<uint8_t>& coded) {
  CodecPipeline pipeline;
  if (Status analysed = analyseBitmap(picture, AnalysisStage::ModelBuilt, pipeline); !analysed) {
    return analysed;
  }
  if (Status selected = pipeline.select(choice); !selected) return selected;
  TemporaryFile file(".flm");
  if (!file.status()) return file.status();
  if (Status written = pipeline.writeCodedFile(file.path()); !written) {
    return written.withPathNamed(file.path(), kCodedName);
  }
  return readBytes(file.path(), coded);
}

Status decodeCodedFile(std::span<const uint8_t> coded, bool converged, Plane<uint8_t>& image) {
  CodecPipeline pipeline;
  if (Status opened = openCoded(coded, pipeline); !opened) return opened;
  ConvergedSolveReport report;
  const Status solved = converged ? pipeline.reconstructConverged(report) : pipeline.reconstruct();
  if (!solved) return solved;
  image = std::move(pipeline.reconstruction().grayPlane);
  return Status::success();
}

Status analysePicture(const Bitmap& picture, const ContourChoice& choice, PictureAnalysis& analysis) {
  CodecPipeline pipeline;
  if (Status analysed = analyseBitmap(picture, AnalysisStage::EdgesDetected, pipeline); !analysed) {
    return analysed;
  }
  // Later stages may work on the gray plane, so it is taken as Detect Contours leaves it.
  analysis.smoothed = copyOf(pipeline.analysis().grayPlane);
  analysis.edges = copyOf(pipeline.analysis().edgeMap);
  if (Status built = pipeline.advanceTo(AnalysisStage::ModelBuilt); !built) return built;
  if (Status selected = pipeline.select(choice); !selected) return selected;
  analysis.gray = copyOf(pipeline.importedGray());
  analysis.contours = pipeline.analysis().contours;
  analysis.depth = std::move(pipeline.reconstruction().depthPlane);
  analysis.sparseness = std::move(pipeline.reconstruction().sparsenessPlane);
  return Status::success();
}

Status describeCodedFile(std::span<const uint8_t> coded, CodedFileInfo& info) {
  CodecPipeline pipeline;
  return readCodedBytes(coded, [&](const std::string& path) { return pipeline.readCodedFileInfo(path, info); });
}

}  // namespace filamorph::python
