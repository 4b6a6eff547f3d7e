#ifndef FILAMORPH_CLI_CODECRUN_H
#define FILAMORPH_CLI_CODECRUN_H
// The codec pipeline of one command-line run, with failures as exit statuses.

#include "cli/InputFile.h"
#include "commands/CodecPipeline.h"

namespace filamorph::cli {

// Each step runs the pipeline step of the same name and turns its failure
// into a CommandError with the exit status of its kind, naming the input as
// the user gave it (a spooled standard input as "standard input"). The
// codec's own messages reach stderr through the message handler in place.
class CodecRun {
 public:
  ContourCoder& analysis() { return pipeline_.analysis(); }
  Reconstructor& reconstruction() { return pipeline_.reconstruction(); }

  void analyseBitmap(const InputFile& in, AnalysisStage stage);
  void selectContours(const ContourChoice& choice);
  void openCodedImage(const InputFile& in);
  Status compressToFile(const std::string& path, ContourCoder::CodedFileSummary* summary = nullptr);
  void reconstruct(const SweepObserver& observer);

 private:
  CodecPipeline pipeline_;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODECRUN_H
