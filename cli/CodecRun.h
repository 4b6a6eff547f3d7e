#ifndef FILAMORPH_CLI_CODECRUN_H
#define FILAMORPH_CLI_CODECRUN_H
// The analysis and reconstruction objects of one command-line run, driven
// through the window's command layer.

#include <memory>
#include <string>
#include <vector>

#include "cli/InputFile.h"
#include "cli/SelectionOptions.h"
#include "commands/CommandSession.h"
#include "contours/ContourCoder.h"
#include "evaluation/ImageInput.h"
#include "image/Messages.h"
#include "reconstruct/DitherGenerator.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::cli {

// How far the analysis of a bitmap runs, in the order of the menu commands.
enum class AnalysisStage { Opened, EdgesDetected, Traced, ModelBuilt };

// Each step runs the menu command of the same name and turns its failure into
// a CommandError with the fitting exit status. The codec's own messages reach
// stderr through the message handler that was in place; this class only
// watches them (while it lives) to tell a refused pixel format or a malformed
// coded file from other failures.
class CodecRun {
 public:
  CodecRun();
  CodecRun(const CodecRun&) = delete;
  CodecRun& operator=(const CodecRun&) = delete;
  ~CodecRun();

  ContourCoder& analysis() { return *analysis_; }
  Reconstructor& reconstruction() { return *reconstruction_; }

  // Open Image, then Detect Contours, Trace Contours and Obtain Filamorph as
  // far as stage. A PNG or PGM picture is opened as the 24-bit bitmap it
  // converts to.
  void analyseBitmap(const InputFile& in, AnalysisStage stage);
  // The parameters dialog's selection, then the model planes laid anew so that
  // only the selected contours reach them (and the file).
  void selectContours(const Selection& selection);
  // Open Coded Image: the model as read, with its normals, laid into the planes.
  void openCodedImage(const InputFile& in);
  Status compressToFile(const std::string& path);
  // Reconstruct. Every run starts its own dither generator, so each result is
  // the one the window gives for its first reconstruction.
  void reconstruct(const SweepObserver& observer);
  // Reconstruct with the converged fill-in, from a fresh generator likewise.
  ConvergedSolveReport reconstructConverged();

 private:
  bool wasShown(const char* message) const;

  std::unique_ptr<ContourCoder> analysis_;
  std::unique_ptr<Reconstructor> reconstruction_;
  CommandSession session_;
  // Lives as long as the run: Detect Contours opens the picture again.
  std::unique_ptr<evaluation::BitmapInput> picture_;
  DitherGenerator dither_;
  std::vector<std::string> shownMessages_;
  MessageHandler previousHandler_;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODECRUN_H
