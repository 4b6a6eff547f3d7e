#include "cli/CodecRun.h"

#include <algorithm>
#include <utility>

#include "cli/ExitCodes.h"
#include "image/Messages.h"

namespace filamorph::cli {
namespace {

void requireStep(bool done, const std::string& step) {
  if (!done) throw CommandError(ExitCode::CodecFailure, step + " could not run");
}

// The codec's messages name the file it was given; a spooled standard input
// is named as such.
void requireRead(const Status& status, const InputFile& in) {
  if (status) return;
  std::string message = status.message();
  for (std::size_t at = message.find(in.path()); at != std::string::npos;
       at = message.find(in.path(), at + in.displayName().size())) {
    message.replace(at, in.path().size(), in.displayName());
  }
  throw CommandError(ExitCode::InputOutput, message);
}

}  // namespace

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

void CodecRun::openCodedImage(const InputFile& in) {
  requireRead(session_.openCodedImage(in.path()), in);
  if (wasShown(kEndOfFile)) throw CommandError(ExitCode::InputOutput, in.displayName() + " is malformed: it holds an unknown segment marker");
  if (!session_.hasModelPlanes() || analysis_->width <= 0 || analysis_->height <= 0) {
    throw CommandError(ExitCode::InputOutput, in.displayName() + " holds no image size");
  }
}

Status CodecRun::compressToFile(const std::string& path) { return session_.compressToFile(path); }

void CodecRun::reconstruct(const SweepObserver& observer) {
  dither_ = DitherGenerator();
  requireStep(session_.reconstruct(dither_, observer), "Reconstruct");
}

ConvergedSolveReport CodecRun::reconstructConverged() {
  dither_ = DitherGenerator();
  ConvergedSolveReport report;
  requireStep(session_.reconstructConverged(dither_, report), "Reconstruct");
  return report;
}

}  // namespace filamorph::cli
