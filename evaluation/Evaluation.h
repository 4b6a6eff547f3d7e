#ifndef FILAMORPH_EVALUATION_EVALUATION_H
#define FILAMORPH_EVALUATION_EVALUATION_H
// One image measured through the codec's commands: rate, distortion, the
// matched JPEG and the time of every stage.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/Status.h"
#include "commands/CodecPipeline.h"
#include "image/Plane.h"

namespace filamorph::evaluation {

// One coded file and its reconstruction, measured against the imported gray plane.
struct CodecPoint {
  std::string keep;  // ContourChoice::label()
  uint64_t bytes = 0;
  double bitsPerPixel = 0.0;
  int64_t contours = 0;  // contours in the file
  int64_t points = 0;    // contour points in the file
  double psnr = 0.0;
  double ssim = 0.0;
  int32_t sweeps = 0;
  // The same file reconstructed by the converged fill-in; NaN and 0 when that
  // solver does not run (psnr, ssim and sweeps above are NaN, NaN and 0 when
  // the sweeps do not).
  double convergedPsnr = std::numeric_limits<double>::quiet_NaN();
  double convergedSsim = std::numeric_limits<double>::quiet_NaN();
  int32_t convergedSteps = 0;
};

struct JpegPoint {
  int quality = 0;
  uint64_t bytes = 0;
  double bitsPerPixel = 0.0;
  double psnr = 0.0;
  double ssim = 0.0;  // NaN on the rate curve, where only PSNR is measured
};

// The pictures of the report, each as gray levels at the image's size.
struct ReportPictures {
  Plane<uint8_t> original;        // the gray plane right after Open Image
  Plane<uint8_t> edges;           // the edge-map view after Detect Contours
  Plane<uint8_t> model;           // the model view: the depth plane as the window shows it
  Plane<uint8_t> reconstruction;  // the decoded file, reconstructed (by the sweeps when they run)
  Plane<uint8_t> jpeg;            // the JPEG of matched size, decoded
};

struct ImageEvaluation {
  std::string name;   // the path as given
  std::string build;  // versionText() of the program that measured it
  int32_t width = 0;
  int32_t height = 0;
  ErrorKind failure = ErrorKind::None;
  std::string error;
  CodecPoint codec;
  JpegPoint jpeg;  // the quality whose file size is closest to codec.bytes
  StageTimes times;
  // Texts the codec showed while this image was measured (e.g. contours
  // left out of a file), when a MessageRoute is installed; the temporary
  // coded files are named by their keep value.
  std::vector<std::string> messages;

  // Only with EvaluationSettings::withReport.
  std::optional<ReportPictures> pictures;
  std::vector<CodecPoint> rateCurve;  // one point per rateChoices entry
  std::vector<JpegPoint> jpegCurve;   // rising qualities, up to past the codec's largest file

  bool ok() const { return failure == ErrorKind::None; }
};

struct EvaluationSettings {
  ContourChoice choice;
  // Which solvers reconstruct each decoded file: the sweeps of the window's
  // Reconstruct, the converged fill-in, or both (at least one).
  bool exactSolver = true;
  bool convergedSolver = true;
  // Threads of the exact sweeps (Reconstructor::sweepThreads): 0 lets the
  // solver choose; a batch that already keeps every core busy asks for 1.
  int32_t sweepThreads = 0;
  bool withReport = false;
  // The points of the rate-distortion curve (with the report only).
  std::vector<ContourChoice> rateChoices;
};

// The keep values of the report's rate curve: 8, 16, 32, 64, 128, 255 and
// all, with the weights of base.
std::vector<ContourChoice> standardRateChoices(const ContourChoice& base);

// Runs Open Image, Detect Contours, Trace Contours and Obtain Filamorph once,
// then for each contour choice the selection, Compress to File, Open Coded
// Image and Reconstruct, every decode in fresh objects with a generator that
// starts at 1, exactly as separate runs of the program would. The result
// depends on nothing but the file and the settings. Never throws: a failure
// is recorded in the result.
ImageEvaluation evaluateImage(const std::string& path, const EvaluationSettings& settings);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_EVALUATION_H
