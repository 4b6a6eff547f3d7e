#include "evaluation/Evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#include "base/BuildVersion.h"
#include "base/TemporaryFile.h"
#include "commands/CodecPipeline.h"
#include "evaluation/JpegMatch.h"
#include "evaluation/MessageRoute.h"
#include "evaluation/Metrics.h"

namespace filamorph::evaluation {
namespace {

// Ends the measurement of an image with a failure of the codec's own kind.
class EvaluationError : public std::runtime_error {
 public:
  explicit EvaluationError(const Status& failure) : std::runtime_error(failure.message()), kind_(failure.kind()) {}
  ErrorKind kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

void require(const Status& status) {
  if (!status) throw EvaluationError(status);
}

Plane<uint8_t> copyPlane(const Plane<uint8_t>& source) {
  Plane<uint8_t> copy;
  copy.allocate(source.rows(), source.cols());
  if (source.size() > 0) std::memcpy(copy.data(), source.data(), source.size());
  return copy;
}

// The edge-map and model views draw gray pictures: any one channel holds the level.
Plane<uint8_t> grayOfView(const Bitmap& picture) {
  Plane<uint8_t> gray;
  gray.allocate(picture.height, picture.width);
  const Bitmap bgr = picture.to24();
  for (std::size_t i = 0; i < gray.size(); ++i) gray.data()[i] = bgr.pixels[3 * i];
  return gray;
}

double bitsPerPixel(uint64_t bytes, const Plane<uint8_t>& plane) {
  return static_cast<double>(bytes) * 8.0 / static_cast<double>(plane.size());
}

// The analysis of one image, run once and then coded under each contour choice.
class ImageCoder {
 public:
  const Plane<uint8_t>& reference() const { return encoder_.importedGray(); }

  // Open Image to Obtain Filamorph.
  void analyse(const std::string& path, StageTimes& times, ReportPictures* pictures) {
    require(encoder_.analyse(path, AnalysisStage::EdgesDetected));
    if (pictures) pictures->edges = grayOfView(encoder_.session().image2.picture);
    require(encoder_.advanceTo(AnalysisStage::ModelBuilt));
    times = encoder_.times();
  }

  // Selection, file, and the file decoded and reconstructed by a fresh
  // pipeline with each solver asked for.
  CodecPoint code(const ContourChoice& choice, const EvaluationSettings& solvers, StageTimes* times,
                  ReportPictures* pictures) {
    const StageTimes before = encoder_.times();
    require(encoder_.select(choice));
    if (pictures) pictures->model = grayOfView(encoder_.session().image2.picture);

    const TemporaryFile coded(".flm");
    require(coded.status());
    codedFileNames_.emplace_back(coded.path(), "the coded file of --keep " + choice.label());
    require(encoder_.writeCodedFile(coded.path()));

    CodecPoint point;
    point.keep = choice.label();
    point.bytes = std::filesystem::file_size(coded.path());
    point.bitsPerPixel = bitsPerPixel(point.bytes, reference());

    CodecPipeline decoder;
    if (Status read = decoder.readCodedFile(coded.path()); !read) {
      throw EvaluationError(
          Status::failure(ErrorKind::CodecStep, "the coded file does not read back: " + read.message()));
    }
    for (const Contour& contour : decoder.analysis().contours) {
      ++point.contours;
      point.points += contour.pointCount;
    }

    if (solvers.exactSolver) {
      decoder.reconstruction().sweepThreads = solvers.sweepThreads;
      require(decoder.reconstruct());
      point.sweeps = decoder.reconstruction().sweepCount;
      const Plane<uint8_t>& result = measuredResult(decoder.reconstruction());
      point.psnr = psnr(reference(), result);
      point.ssim = ssim(reference(), result);
      if (pictures) pictures->reconstruction = copyPlane(result);
    } else {
      point.psnr = std::numeric_limits<double>::quiet_NaN();
      point.ssim = std::numeric_limits<double>::quiet_NaN();
    }
    if (solvers.convergedSolver) {
      ConvergedSolveReport report;
      require(decoder.reconstructConverged(report));
      point.convergedSteps = report.iterations;
      const Plane<uint8_t>& result = measuredResult(decoder.reconstruction());
      point.convergedPsnr = psnr(reference(), result);
      point.convergedSsim = ssim(reference(), result);
      if (pictures && !solvers.exactSolver) pictures->reconstruction = copyPlane(result);
    }

    if (times) {
      times->model += encoder_.times().model - before.model;
      times->writing = encoder_.times().writing - before.writing;
      times->reading = decoder.times().reading;
      times->reconstruction = decoder.times().reconstruction;
      times->convergedReconstruction = decoder.times().convergedReconstruction;
    }
    return point;
  }

  const Plane<uint8_t>& measuredResult(const Reconstructor& decoded) const {
    const Plane<uint8_t>& result = decoded.grayPlane;
    if (result.rows() != reference().rows() || result.cols() != reference().cols()) {
      throw EvaluationError(
          Status::failure(ErrorKind::CodecStep, "the reconstruction differs in size from the image"));
    }
    return result;
  }

  // Messages name the temporary coded files; the reader knows them by their keep value.
  std::string withFileNames(std::string message) const {
    Status named = Status::failure(ErrorKind::CodecStep, std::move(message));
    for (const auto& [path, name] : codedFileNames_) named = named.withPathNamed(path, name);
    return named.message();
  }

 private:
  CodecPipeline encoder_;
  std::vector<std::pair<std::string, std::string>> codedFileNames_;
};

JpegPoint measureJpeg(const Plane<uint8_t>& reference, int quality, bool withSsim, Plane<uint8_t>* decodedOut) {
  JpegPoint point;
  point.quality = quality;
  const std::vector<uint8_t> file = encodeGrayJpeg(reference, quality);
  Plane<uint8_t> decoded = decodeGrayJpeg(file);
  point.bytes = file.size();
  point.bitsPerPixel = bitsPerPixel(point.bytes, reference);
  point.psnr = psnr(reference, decoded);
  point.ssim = withSsim ? ssim(reference, decoded) : std::numeric_limits<double>::quiet_NaN();
  if (decodedOut) *decodedOut = std::move(decoded);
  return point;
}

// The JPEG curve spans the codec's rates and a little beyond, and always
// holds the lowest qualities, so that it is drawn even where JPEG cannot
// reach the codec's rates.
std::vector<JpegPoint> jpegCurve(const Plane<uint8_t>& reference, const std::array<uint64_t, kJpegQualities>& sizes,
                                 uint64_t largestCodecFile) {
  constexpr int kAlwaysShown = 10;
  const double limit =
      std::max(1.5 * static_cast<double>(largestCodecFile), static_cast<double>(sizes[kAlwaysShown - 1]));
  std::vector<JpegPoint> curve;
  for (int quality = 1; quality <= kJpegQualities; ++quality) {
    if (static_cast<double>(sizes[quality - 1]) > limit) break;
    curve.push_back(measureJpeg(reference, quality, false, nullptr));
  }
  return curve;
}

void measure(ImageCoder& coder, const std::string& path, const EvaluationSettings& settings, ImageEvaluation& result) {
  ReportPictures pictures;
  ReportPictures* wanted = settings.withReport ? &pictures : nullptr;
  coder.analyse(path, result.times, wanted);
  const Plane<uint8_t>& reference = coder.reference();
  result.width = reference.cols();
  result.height = reference.rows();

  // Every choice once. "all" must come first: it codes the contours as
  // tracing left them, before any selection has ranked them.
  std::vector<ContourChoice> choices{settings.choice};
  if (settings.withReport) {
    for (const ContourChoice& choice : settings.rateChoices) {
      if (std::find(choices.begin(), choices.end(), choice) == choices.end()) choices.push_back(choice);
    }
  }
  std::stable_partition(choices.begin(), choices.end(), [](const ContourChoice& c) { return c.keepAll; });
  std::vector<CodecPoint> points;
  for (const ContourChoice& choice : choices) {
    const bool main = choice == settings.choice;
    points.push_back(coder.code(choice, settings, main ? &result.times : nullptr, main ? wanted : nullptr));
  }
  auto pointOf = [&](const ContourChoice& choice) {
    return points[static_cast<std::size_t>(std::find(choices.begin(), choices.end(), choice) - choices.begin())];
  };
  result.codec = pointOf(settings.choice);

  const std::array<uint64_t, kJpegQualities> sizes = jpegSizes(reference);
  const int quality = closestQuality(sizes, result.codec.bytes);
  result.jpeg = measureJpeg(reference, quality, true, wanted ? &pictures.jpeg : nullptr);

  if (!wanted) return;
  uint64_t largest = 0;
  for (const ContourChoice& choice : settings.rateChoices) {
    result.rateCurve.push_back(pointOf(choice));
    largest = std::max(largest, result.rateCurve.back().bytes);
  }
  result.jpegCurve = jpegCurve(reference, sizes, std::max(largest, result.codec.bytes));
  pictures.original = copyPlane(reference);
  result.pictures = std::move(pictures);
}

}  // namespace

std::vector<ContourChoice> standardRateChoices(const ContourChoice& base) {
  std::vector<ContourChoice> choices;
  for (int32_t number : {8, 16, 32, 64, 128, kFileContourLimit}) {
    ContourChoice choice = base;
    choice.keepAll = false;
    choice.number = number;
    choices.push_back(choice);
  }
  ContourChoice all = base;
  all.keepAll = true;
  choices.push_back(all);
  return choices;
}

ImageEvaluation evaluateImage(const std::string& path, const EvaluationSettings& settings) {
  ImageEvaluation result;
  result.name = path;
  result.build = versionText();
  ImageCoder coder;
  std::vector<std::string> messages;
  try {
    const CollectedMessages collected(messages);
    measure(coder, path, settings, result);
  } catch (const EvaluationError& error) {
    result.failure = error.kind();
    result.error = error.what();
  } catch (const std::bad_alloc&) {
    result.failure = ErrorKind::CodecStep;
    result.error = "out of memory";
  } catch (const std::exception& error) {
    result.failure = ErrorKind::CodecStep;
    result.error = error.what();
  }
  for (std::string& message : messages) result.messages.push_back(coder.withFileNames(std::move(message)));
  if (!result.ok()) {
    result.pictures.reset();
    result.rateCurve.clear();
    result.jpegCurve.clear();
  }
  return result;
}

}  // namespace filamorph::evaluation
