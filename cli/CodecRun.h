#ifndef FILAMORPH_CLI_CODECRUN_H
#define FILAMORPH_CLI_CODECRUN_H
// The analysis and reconstruction objects of one command-line run, driven
// through the window's command layer.

#include <cstdint>
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
  // Open Coded Image: the model as read, with its normals, laid into the
  // planes. A file declaring more than maxPixels pixels is refused before
  // anything is allocated; planes that would not fit in the memory the
  // system can give are refused (codec failure) before they are made, the
  // solver's too when the model is opened to be reconstructed.
  void openCodedImage(const InputFile& in, int64_t maxPixels, bool toReconstruct = false);
  // Only the reading of Open Coded Image: no plane, no view, so that the cost
  // is in proportion to the file.
  void readCodedImage(const InputFile& in, int64_t maxPixels);
  Status compressToFile(const std::string& path);
  // Reconstruct. Every run starts its own dither generator, so each result is
  // the one the window gives for its first reconstruction. The solver's
  // planes are refused, as for openCodedImage, when they would not fit.
  void reconstruct(const SweepObserver& observer);

 private:
  // Bytes per pixel that a step adds while it runs. Laying a model: the two
  // byte planes and the 24-bit view they are drawn into. Solving: the float
  // work plane, the gray plane and the 24-bit copy that a .bmp output takes.
  static constexpr uint64_t kModelBytesPerPixel = 2 + 3;
  static constexpr uint64_t kSolveBytesPerPixel = 4 + 1 + 3;

  bool wasShown(const char* message) const;
  // Throws a codec failure when the image's pixels times bytesPerPixel exceed
  // the memory that the system can give now.
  void requireMemory(const std::string& what, uint64_t bytesPerPixel) const;

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
