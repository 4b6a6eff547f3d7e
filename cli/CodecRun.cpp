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
  if (Status opened = session_.openImage(in.path()); !opened) {
    throw CommandError(ExitCode::InputOutput, "cannot read " + in.displayName() + ": " + opened.message());
  }
  if (!session_.hasImage()) {
    // The import has shown the refusal itself.
    if (wasShown(kUnsupportedPixelFormat)) throw CommandError(ExitCode::UnsupportedPixelFormat, "");
    throw CommandError(ExitCode::InputOutput, "cannot import " + in.displayName());
  }
  if (stage == AnalysisStage::Opened) return;

  if (Status detected = session_.detectContours(); !detected) {
    throw CommandError(ExitCode::InputOutput, "cannot read " + in.displayName() + " again: " + detected.message());
  }
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
  const Status read = session_.openCodedImage(in.path());
  if (!read) throw CommandError(ExitCode::InputOutput, "cannot read " + in.displayName() + ": " + read.message());
  if (wasShown(kEndOfFile)) throw CommandError(ExitCode::InputOutput, in.displayName() + " is malformed");
  if (!session_.hasModelPlanes() || analysis_->width <= 0 || analysis_->height <= 0) {
    throw CommandError(ExitCode::InputOutput, in.displayName() + " holds no image size");
  }
}

Status CodecRun::compressToFile(const std::string& path) { return session_.compressToFile(path); }

void CodecRun::reconstruct(const SweepObserver& observer) {
  dither_ = DitherGenerator();
  requireStep(session_.reconstruct(dither_, observer), "Reconstruct");
}

}  // namespace filamorph::cli
