#include "commands/CodecPipeline.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "base/SystemMemory.h"

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

std::string megabytes(uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

Status stepFailed(const std::string& step) {
  return Status::failure(ErrorKind::CodecStep, step + " could not run");
}

}  // namespace

double CodedFileInfo::bitsPerPixel() const {
  const double pixels = static_cast<double>(width) * static_cast<double>(height);
  return pixels > 0 ? static_cast<double>(bytes) * 8.0 / pixels : 0.0;
}

std::string ContourChoice::label() const {
  return keepAll ? "all" : std::to_string(number);
}

CodecPipeline::CodecPipeline()
    : analysis_(std::make_unique<ContourCoder>()),
      reconstruction_(std::make_unique<Reconstructor>()),
      session_(*analysis_, *reconstruction_) {
  analysis_->workThreads = &stageThreads_;
}

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

Status CodecPipeline::requireMemory(const std::string& what, uint64_t bytesPerPixel) const {
  const int32_t rows = analysis_->height;
  const int32_t cols = analysis_->width;
  const uint64_t pixels = static_cast<uint64_t>(std::max(rows, 0)) * static_cast<uint64_t>(std::max(cols, 0));
  const uint64_t needed = pixels * bytesPerPixel;
  const uint64_t available = availableMemoryBytes();
  if (needed <= available) return Status::success();
  return Status::failure(ErrorKind::CodecStep, "the " + std::to_string(cols) + " x " + std::to_string(rows) +
                                                   " image needs " + megabytes(needed) + " for " + what +
                                                   ", more than the " + megabytes(available) +
                                                   " this system can give now");
}

Status CodecPipeline::readCodedFile(const std::string& path, CodedFileUse use) {
  const Stopwatch reading;
  CodedFileReading options;
  options.maxPixels = maxCodedPixels_;
  options.unknownSegmentIsMalformed = true;
  if (Status read = session_.readCodedImage(path, options); !read) return read;
  if (analysis_->width <= 0 || analysis_->height <= 0) {
    return Status::failure(ErrorKind::MalformedFile, "Cannot read " + path + ": it holds no image size.");
  }
  if (use != CodedFileUse::ModelOnly) {
    const Status fits =
        use == CodedFileUse::Reconstruction
            ? requireMemory("the model and the solver's planes", kModelBytesPerPixel + kSolveBytesPerPixel)
            : requireMemory("the model planes and their view", kModelBytesPerPixel);
    if (!fits) return fits;
    if (!session_.layCodedImage()) return stepFailed("Open Coded Image");
  }
  times_.reading += reading.milliseconds();
  return Status::success();
}

Status CodecPipeline::readCodedFileInfo(const std::string& path, CodedFileInfo& info) {
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  if (error) return Status::failure(ErrorKind::InputOutput, "Cannot read " + path + ": " + error.message() + ".");
  if (Status read = readCodedFile(path, CodedFileUse::ModelOnly); !read) return read;
  info = CodedFileInfo{};
  info.width = analysis_->width;
  info.height = analysis_->height;
  info.bytes = bytes;
  for (const Contour& contour : analysis_->contours) {
    ++info.contours;
    info.points += contour.pointCount;
  }
  return Status::success();
}

Status CodecPipeline::reconstruct(const SweepObserver& observer) {
  if (!session_.hasModelPlanes()) return stepFailed("Reconstruct");
  if (Status fits = requireMemory("the solver's planes", kSolveBytesPerPixel); !fits) return fits;
  const Stopwatch solve;
  dither_ = DitherGenerator();
  if (!session_.reconstruct(dither_, observer)) {
    return Status::failure(ErrorKind::Cancelled, "Reconstruct was cancelled");
  }
  times_.reconstruction += solve.milliseconds();
  return Status::success();
}

Status CodecPipeline::reconstructConverged(ConvergedSolveReport& report) {
  if (!session_.hasModelPlanes()) return stepFailed("Reconstruct");
  if (Status fits = requireMemory("the solver's planes", kSolveBytesPerPixel); !fits) return fits;
  const Stopwatch solve;
  dither_ = DitherGenerator();
  if (!session_.reconstructConverged(dither_, report)) return stepFailed("Reconstruct");
  times_.convergedReconstruction += solve.milliseconds();
  return Status::success();
}

}  // namespace filamorph
