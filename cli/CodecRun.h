#ifndef FILAMORPH_CLI_CODECRUN_H
#define FILAMORPH_CLI_CODECRUN_H
// The codec pipeline of one command-line run, with failures as exit statuses.

#include <cstdint>
#include <string>

#include "cli/InputFile.h"
#include "commands/CodecPipeline.h"

namespace filamorph::cli {

// Each step runs the pipeline step of the same name and turns its failure
// into a CommandError with the exit status of its kind, naming the input as
// the user gave it (a spooled standard input as "standard input"). The
// codec's own messages reach stderr through the message handler in place.
class CodecRun {
 public:
  // No one sees the window's views here: the commands skip drawing them.
  CodecRun() { pipeline_.session().drawsViews = false; }

  // For runs that only write the model to a file: the model planes are
  // neither made nor drawn (CommandSession::laysModelPlanes).
  void skipModelPlanes() { pipeline_.session().laysModelPlanes = false; }

  ContourCoder& analysis() { return pipeline_.analysis(); }
  Reconstructor& reconstruction() { return pipeline_.reconstruction(); }

  void analyseBitmap(const InputFile& in, AnalysisStage stage);
  void selectContours(const ContourChoice& choice);
  // Open Coded Image, refusing a file that declares more than maxPixels
  // pixels; with toReconstruct the solver's planes must fit in memory too.
  void openCodedImage(const InputFile& in, int64_t maxPixels, bool toReconstruct = false);
  // Only the reading half of Open Coded Image (no plane, no view, so that the
  // cost is in proportion to the file), then what the file holds.
  CodedFileInfo readCodedFileInfo(const InputFile& in, int64_t maxPixels);
  Status compressToFile(const std::string& path, ContourCoder::CodedFileSummary* summary = nullptr);
  void reconstruct(const SweepObserver& observer);
  // Reconstruct with the converged fill-in, from a fresh generator likewise.
  ConvergedSolveReport reconstructConverged();

 private:
  CodecPipeline pipeline_;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODECRUN_H
