#ifndef FILAMORPH_COMMANDS_CODECPIPELINE_H
#define FILAMORPH_COMMANDS_CODECPIPELINE_H
// One image through the menu commands, for every caller without a window: the
// command line, the evaluation and the language bindings.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/Status.h"
#include "commands/CommandParameters.h"
#include "commands/CommandSession.h"
#include "contours/ContourCoder.h"
#include "image/ImageInput.h"
#include "image/Plane.h"
#include "reconstruct/DitherGenerator.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

// How far the analysis of a picture runs, in the order of the menu commands.
enum class AnalysisStage { Opened, EdgesDetected, Traced, ModelBuilt };

// Which contours a coded file holds: the perceptual selection with its
// weights and number, or (keepAll) every contour, as after Obtain Filamorph.
struct ContourChoice {
  bool keepAll = false;
  int32_t number = kFileContourLimit;
  float lengthWeight = kDefaultSelectionWeights.length;
  float curvatureWeight = kDefaultSelectionWeights.curvature;
  float contrastWeight = kDefaultSelectionWeights.contrast;

  // "all" or the number.
  std::string label() const;
  bool operator==(const ContourChoice&) const = default;
};

// Wall-clock milliseconds of each stage, in the order the commands run.
struct StageTimes {
  double import = 0.0;          // Open Image, with any PNG/PGM conversion
  double detection = 0.0;       // Detect Contours
  double tracing = 0.0;         // Trace Contours
  double model = 0.0;           // Obtain Filamorph, the selection and the model planes
  double writing = 0.0;         // Compress to File
  double reading = 0.0;         // Open Coded Image
  double reconstruction = 0.0;  // Reconstruct
};

// Owns a fresh analysis object and reconstruction object and drives them
// through CommandSession, so that every caller runs the window's steps in the
// window's order. Every step returns a Status whose kind tells what failed;
// a step whose data is missing fails with ErrorKind::CodecStep. Each stage's
// time is added to times().
class CodecPipeline {
 public:
  CodecPipeline();
  CodecPipeline(const CodecPipeline&) = delete;
  CodecPipeline& operator=(const CodecPipeline&) = delete;

  ContourCoder& analysis() { return *analysis_; }
  Reconstructor& reconstruction() { return *reconstruction_; }
  CommandSession& session() { return session_; }
  const StageTimes& times() const { return times_; }
  // The gray plane that Open Image imported, before Detect Contours smooths it.
  const Plane<uint8_t>& importedGray() const { return importedGray_; }

  // Open Image on a BMP, PNG or PGM/PPM file (the latter two as the 24-bit
  // bitmap they convert to), then Detect Contours, Trace Contours and Obtain
  // Filamorph as far as stage.
  Status analyse(const std::string& picturePath, AnalysisStage stage);
  // Runs the analysis of the opened picture on from where it stands up to
  // stage, e.g. to look at the edge map before tracing.
  Status advanceTo(AnalysisStage stage);
  // The parameters dialog's selection, then the model planes laid anew so
  // that only the selected contours reach them and the file. keepAll leaves
  // the model as Obtain Filamorph made it.
  Status select(const ContourChoice& choice);
  // Compress to File; summary, when given, receives what the file holds.
  Status writeCodedFile(const std::string& path, ContourCoder::CodedFileSummary* summary = nullptr);
  // Open Coded Image. A file with an unknown segment or without an image
  // size is refused as malformed: no user is there to read the window's
  // "End of the file".
  Status readCodedFile(const std::string& path);
  // Reconstruct. Every run starts its own dither generator at 1, so that
  // each result is the one the window gives for its first reconstruction.
  // A cancelled solve fails with ErrorKind::Cancelled.
  Status reconstruct(const SweepObserver& observer = {});

 private:
  std::unique_ptr<ContourCoder> analysis_;
  std::unique_ptr<Reconstructor> reconstruction_;
  CommandSession session_;
  // Lives as long as the pipeline: Detect Contours opens the picture again.
  std::unique_ptr<BitmapInput> picture_;
  std::string picturePath_;
  std::optional<AnalysisStage> reached_;
  Plane<uint8_t> importedGray_;
  DitherGenerator dither_;
  StageTimes times_;
};

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_CODECPIPELINE_H
