#include "cli/CodecRun.h"

#include <algorithm>
#include <utility>

#include "cli/ExitCodes.h"
#include "cli/ShownPath.h"
#include "image/Messages.h"
#include "image/SystemMemory.h"

namespace filamorph::cli {
namespace {

std::string megabytes(uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

void requireStep(bool done, const std::string& step) {
  if (!done) throw CommandError(ExitCode::CodecFailure, step + " could not run");
}

// The codec's messages name the file it was given; a spooled standard input
// is named as such.
void requireRead(const Status& status, const InputFile& in) {
  if (!status) throw CommandError(ExitCode::InputOutput, withShownPath(status.message(), in.path(), in.displayName()));
}

}  // namespace

void CodecRun::requireMemory(const std::string& what, uint64_t bytesPerPixel) const {
  const int32_t rows = analysis_->height;
  const int32_t cols = analysis_->width;
  const uint64_t pixels = static_cast<uint64_t>(std::max(rows, 0)) * static_cast<uint64_t>(std::max(cols, 0));
  const uint64_t needed = pixels * bytesPerPixel;
  const uint64_t available = availableMemoryBytes();
  if (needed <= available) return;
  throw CommandError(ExitCode::CodecFailure, "the " + std::to_string(cols) + " x " + std::to_string(rows) +
                                                 " image needs " + megabytes(needed) + " for " + what +
                                                 ", more than the " + megabytes(available) +
                                                 " this system can give now");
}

CodecRun::CodecRun()
    : analysis_(std::make_unique<ContourCoder>()),
      reconstruction_(std::make_unique<Reconstructor>()),
      session_(*analysis_, *reconstruction_) {
  previousHandler_ = setMessageHandler([this](const std::string& text) {
    shownMessages_.push_back(text);
    if (previousHandler_) previousHandler_(text);
  });
}

CodecRun::~CodecRun() { setMessageHandler(std::move(previousHandler_)); }

bool CodecRun::wasShown(const char* message) const {
  return std::find(shownMessages_.begin(), shownMessages_.end(), message) != shownMessages_.end();
}

void CodecRun::analyseBitmap(const InputFile& in, AnalysisStage stage) {
  picture_ = std::make_unique<evaluation::BitmapInput>(in.path());
  requireRead(picture_->status(), in);
  requireRead(session_.openImage(picture_->path()), in);
  if (!session_.hasImage()) {
    // The import has shown the refusal itself.
    if (wasShown(kUnsupportedPixelFormat)) throw CommandError(ExitCode::UnsupportedPixelFormat, "");
    throw CommandError(ExitCode::InputOutput, "cannot import " + in.displayName());
  }
  if (stage == AnalysisStage::Opened) return;

  requireRead(session_.detectContours(), in);
  requireStep(session_.hasEdges(), "Detect Contours");
  if (stage == AnalysisStage::EdgesDetected) return;

  requireStep(session_.traceContours(), "Trace Contours");
  if (stage == AnalysisStage::Traced) return;

  requireStep(session_.obtainFilamorph(), "Obtain Filamorph");
}

void CodecRun::selectContours(const Selection& selection) {
  requireStep(session_.selectContours(selection.lengthWeight, selection.curvatureWeight, selection.contrastWeight,
                                      selection.numberToSelect),
              "The contour selection");
  requireStep(session_.layModel(), "Laying the selected contours into the model planes");
}

void CodecRun::readCodedImage(const InputFile& in, int64_t maxPixels) {
  requireRead(session_.readCodedImage(in.path(), maxPixels), in);
  if (wasShown(kEndOfFile)) throw CommandError(ExitCode::InputOutput, in.displayName() + " is malformed: it holds an unknown segment marker");
  if (analysis_->width <= 0 || analysis_->height <= 0) {
    throw CommandError(ExitCode::InputOutput, in.displayName() + " holds no image size");
  }
}

void CodecRun::openCodedImage(const InputFile& in, int64_t maxPixels, bool toReconstruct) {
  readCodedImage(in, maxPixels);
  if (toReconstruct) {
    requireMemory("the model and the solver's planes", kModelBytesPerPixel + kSolveBytesPerPixel);
  } else {
    requireMemory("the model planes and their view", kModelBytesPerPixel);
  }
  requireStep(session_.layCodedImage(), "Open Coded Image");
}

Status CodecRun::compressToFile(const std::string& path) { return session_.compressToFile(path); }

void CodecRun::reconstruct(const SweepObserver& observer) {
  requireMemory("the solver's planes", kSolveBytesPerPixel);
  dither_ = DitherGenerator();
  requireStep(session_.reconstruct(dither_, observer), "Reconstruct");
}

}  // namespace filamorph::cli
