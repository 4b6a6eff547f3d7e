#include "commands/CodecPipeline.h"

#include <chrono>
#include <cstring>

namespace filamorph {
namespace {

class Stopwatch {
 public:
  double milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

Status stepFailed(const std::string& step) {
  return Status::failure(ErrorKind::CodecStep, step + " could not run");
}

}  // namespace

std::string ContourChoice::label() const {
  return keepAll ? "all" : std::to_string(number);
}

CodecPipeline::CodecPipeline()
    : analysis_(std::make_unique<ContourCoder>()),
      reconstruction_(std::make_unique<Reconstructor>()),
      session_(*analysis_, *reconstruction_) {}

Status CodecPipeline::analyse(const std::string& picturePath, AnalysisStage stage) {
  const Stopwatch import;
  reached_.reset();
  picturePath_ = picturePath;
  picture_ = std::make_unique<BitmapInput>(picturePath);
  if (!picture_->status()) return picture_->status();
  if (Status opened = session_.openImage(picture_->path()); !opened) {
    if (opened.kind() == ErrorKind::UnsupportedPixelFormat) {
      return opened.withMessage(picturePath + ": unsupported pixel format (bitmaps must have 8 or 24 bits per pixel)");
    }
    return opened.withPathNamed(picture_->path(), picturePath);
  }
  importedGray_.allocate(analysis_->grayPlane.rows(), analysis_->grayPlane.cols());
  if (importedGray_.size() > 0) std::memcpy(importedGray_.data(), analysis_->grayPlane.data(), importedGray_.size());
  times_.import += import.milliseconds();
  reached_ = AnalysisStage::Opened;
  return advanceTo(stage);
}

Status CodecPipeline::advanceTo(AnalysisStage stage) {
  if (!reached_) return stepFailed("Open Image");
  if (*reached_ >= stage) return Status::success();
  if (*reached_ == AnalysisStage::Opened) {
    const Stopwatch detection;
    if (Status detected = session_.detectContours(); !detected) {
      return detected.withPathNamed(picture_->path(), picturePath_);
    }
    if (!session_.hasEdges()) return stepFailed("Detect Contours");
    times_.detection += detection.milliseconds();
    reached_ = AnalysisStage::EdgesDetected;
    if (stage == AnalysisStage::EdgesDetected) return Status::success();
  }
  if (*reached_ == AnalysisStage::EdgesDetected) {
    const Stopwatch tracing;
    if (!session_.traceContours()) return stepFailed("Trace Contours");
    times_.tracing += tracing.milliseconds();
    reached_ = AnalysisStage::Traced;
    if (stage == AnalysisStage::Traced) return Status::success();
  }
  const Stopwatch model;
  if (!session_.obtainFilamorph()) return stepFailed("Obtain Filamorph");
  times_.model += model.milliseconds();
  reached_ = AnalysisStage::ModelBuilt;
  return Status::success();
}

Status CodecPipeline::select(const ContourChoice& choice) {
  if (choice.keepAll) return Status::success();
  const Stopwatch model;
  if (!session_.selectContours(choice.lengthWeight, choice.curvatureWeight, choice.contrastWeight, choice.number)) {
    return stepFailed("The contour selection");
  }
  if (!session_.layModel()) return stepFailed("Laying the selected contours into the model planes");
  times_.model += model.milliseconds();
  return Status::success();
}

Status CodecPipeline::writeCodedFile(const std::string& path, ContourCoder::CodedFileSummary* summary) {
  const Stopwatch writing;
  Status written = session_.compressToFile(path, summary);
  times_.writing += writing.milliseconds();
  return written;
}

Status CodecPipeline::readCodedFile(const std::string& path) {
  const Stopwatch reading;
  if (Status read = session_.openCodedImage(path, ContourCoder::UnknownSegment::IsMalformed); !read) return read;
  if (!session_.hasModelPlanes() || analysis_->width <= 0 || analysis_->height <= 0) {
    return Status::failure(ErrorKind::MalformedFile, "Cannot read " + path + ": it holds no image size.");
  }
  times_.reading += reading.milliseconds();
  return Status::success();
}

Status CodecPipeline::reconstruct(const SweepObserver& observer) {
  if (!session_.hasModelPlanes()) return stepFailed("Reconstruct");
  const Stopwatch solve;
  dither_ = DitherGenerator();
  if (!session_.reconstruct(dither_, observer)) {
    return Status::failure(ErrorKind::Cancelled, "Reconstruct was cancelled");
  }
  times_.reconstruction += solve.milliseconds();
  return Status::success();
}

}  // namespace filamorph
