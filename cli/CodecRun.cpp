#include "cli/CodecRun.h"

#include "cli/ExitCodes.h"

namespace filamorph::cli {
namespace {

void require(const Status& status, const InputFile& in) {
  if (status) return;
  // The import shows its refusal itself, as the window does; saying it twice helps no one.
  if (status.kind() == ErrorKind::UnsupportedPixelFormat) throw CommandError(ExitCode::UnsupportedPixelFormat, "");
  throw CommandError(status.withPathNamed(in.path(), in.displayName()));
}

void require(const Status& status) {
  if (!status) throw CommandError(status);
}

}  // namespace

void CodecRun::analyseBitmap(const InputFile& in, AnalysisStage stage) {
  require(pipeline_.analyse(in.path(), stage), in);
}

void CodecRun::selectContours(const ContourChoice& choice) {
  require(pipeline_.select(choice));
}

void CodecRun::openCodedImage(const InputFile& in, int64_t maxPixels, bool toReconstruct) {
  pipeline_.setMaxCodedPixels(maxPixels);
  require(pipeline_.readCodedFile(in.path(), toReconstruct ? CodecPipeline::CodedFileUse::Reconstruction
                                                           : CodecPipeline::CodedFileUse::ModelPlanes),
          in);
}

CodedFileInfo CodecRun::readCodedFileInfo(const InputFile& in, int64_t maxPixels) {
  pipeline_.setMaxCodedPixels(maxPixels);
  CodedFileInfo info;
  require(pipeline_.readCodedFileInfo(in.path(), info), in);
  return info;
}
Status CodecRun::compressToFile(const std::string& path, ContourCoder::CodedFileSummary* summary) {
  return pipeline_.writeCodedFile(path, summary);
}

void CodecRun::reconstruct(const SweepObserver& observer) {
  require(pipeline_.reconstruct(observer));
}

ConvergedSolveReport CodecRun::reconstructConverged() {
  ConvergedSolveReport report;
  require(pipeline_.reconstructConverged(report));
  return report;
}

}  // namespace filamorph::cli
