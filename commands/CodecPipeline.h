#ifndef FILAMORPH_COMMANDS_CODECPIPELINE_H
#define FILAMORPH_COMMANDS_CODECPIPELINE_H
// One image through the menu commands, for every caller without a window: the
// command line, the evaluation and the language bindings.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/Status.h"
#include "base/WorkThreads.h"
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
  double import = 0.0;                   // Open Image, with any PNG/PGM conversion
  double detection = 0.0;                // Detect Contours
  double tracing = 0.0;                  // Trace Contours
  double model = 0.0;                    // Obtain Filamorph, the selection and the model planes
  double writing = 0.0;                  // Compress to File
  double reading = 0.0;                  // Open Coded Image
  double reconstruction = 0.0;           // Reconstruct
  double convergedReconstruction = 0.0;  // Reconstruct with the fill-in taken to convergence
};

// What a coded file holds, counted from what the reader rebuilds rather than
// from what the writer was given, so that it reports what the file carries.
struct CodedFileInfo {
  int32_t width = 0;
  int32_t height = 0;
  int64_t contours = 0;
  int64_t points = 0;
  uint64_t bytes = 0;

  double bitsPerPixel() const;
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
  // What a coded file is read for, and so what must fit in memory: the model
  // alone (its planes are neither made nor drawn), the model laid into its
  // planes, or those and the solver's planes too.
  enum class CodedFileUse { ModelOnly, ModelPlanes, Reconstruction };
  // Open Coded Image, or only its reading half for ModelOnly. A file with an
  // unknown segment or without an image size is refused as malformed: no user
  // is there to read the window's "End of the file". A file declaring more
  // than maxCodedPixels() pixels is refused before anything is allocated, and
  // planes the system cannot give now are refused (CodecStep) before they
  // are made.
  Status readCodedFile(const std::string& path, CodedFileUse use = CodedFileUse::ModelPlanes);
  // The reading half of Open Coded Image, then what the file holds: its cost
  // is in proportion to the file, not to the image it declares.
  Status readCodedFileInfo(const std::string& path, CodedFileInfo& info);
  int64_t maxCodedPixels() const { return maxCodedPixels_; }
  void setMaxCodedPixels(int64_t pixels) { maxCodedPixels_ = pixels; }
  // Reconstruct. Every run starts its own dither generator at 1, so that
  // each result is the one the window gives for its first reconstruction.
  // A cancelled solve fails with ErrorKind::Cancelled; planes that would not
  // fit in memory fail with ErrorKind::CodecStep before they are made.
  Status reconstruct(const SweepObserver& observer = {});
  // Reconstruct with the fill-in taken to convergence, from a fresh generator likewise.
  Status reconstructConverged(ConvergedSolveReport& report);

 private:
  // Bytes per pixel that a step adds while it runs. Laying a model: the two
  // byte planes and the 24-bit view they are drawn into. Solving: the float
  // work plane, the gray plane and the 24-bit copy that a .bmp output takes.
  static constexpr uint64_t kModelBytesPerPixel = 2 + 3;
  static constexpr uint64_t kSolveBytesPerPixel = 4 + 1 + 3;
  // A CodecStep failure when the image's pixels times bytesPerPixel exceed
  // the memory that the system can give now.
  Status requireMemory(const std::string& what, uint64_t bytesPerPixel) const;

  // The analysis stages share their work with its helper; it outlives the
  // analysis object, which points to it.
  WorkThreads stageThreads_{0};
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
  int64_t maxCodedPixels_ = kMaxBitmapPixels;
};

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_CODECPIPELINE_H
