#include "evaluation/Evaluation.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "commands/CommandSession.h"
#include "contours/ContourCoder.h"
#include "evaluation/ImageInput.h"
#include "evaluation/JpegMatch.h"
#include "evaluation/MessageRoute.h"
#include "evaluation/Metrics.h"
#include "evaluation/ScratchFile.h"
#include "reconstruct/DitherGenerator.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::evaluation {
namespace {

// The most contours a coded file holds.
constexpr int32_t kFileContourLimit = 255;

class Stopwatch {
 public:
  double milliseconds() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class EvaluationError : public std::runtime_error {
 public:
  EvaluationError(Failure failure, const std::string& message) : std::runtime_error(message), failure_(failure) {}
  Failure failure() const { return failure_; }

 private:
  Failure failure_;
};

void require(bool done, const std::string& step) {
  if (!done) throw EvaluationError(Failure::Codec, step + " could not run");
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
  ImageCoder()
      : analysis_(std::make_unique<ContourCoder>()),
        reconstruction_(std::make_unique<Reconstructor>()),
        session_(*analysis_, *reconstruction_) {}

  const Plane<uint8_t>& reference() const { return reference_; }

  // Open Image to Obtain Filamorph; the input (maybe a converted picture)
  // stays open because Detect Contours reads the bitmap again.
  void analyse(const std::string& path, StageTimes& times, ReportPictures* pictures) {
    Stopwatch import;
    input_ = std::make_unique<BitmapInput>(path);
    if (!input_->status()) throw EvaluationError(Failure::InputOutput, input_->status().message());
    const Status opened = session_.openImage(input_->path());
    if (!opened) throw EvaluationError(Failure::InputOutput, opened.message());
    if (!session_.hasImage()) {
      throw EvaluationError(Failure::UnsupportedPixelFormat,
                            "unsupported pixel format (bitmaps must have 8 or 24 bits per pixel)");
    }
    reference_ = copyPlane(analysis_->grayPlane);
    times.import = import.milliseconds();

    Stopwatch detection;
    const Status detected = session_.detectContours();
    if (!detected) throw EvaluationError(Failure::InputOutput, detected.message());
    require(session_.hasEdges(), "Detect Contours");
    times.detection = detection.milliseconds();
    if (pictures) pictures->edges = grayOfView(session_.image2.picture);

    Stopwatch tracing;
    require(session_.traceContours(), "Trace Contours");
    times.tracing = tracing.milliseconds();

    Stopwatch model;
    require(session_.obtainFilamorph(), "Obtain Filamorph");
    times.model = model.milliseconds();
  }

  // Selection, file, and the file decoded and reconstructed by fresh objects.
  CodecPoint code(const ContourChoice& choice, const EvaluationSettings& solvers, StageTimes* times,
                  ReportPictures* pictures) {
    StageTimes unused;
    StageTimes& t = times ? *times : unused;

    Stopwatch model;
    if (!choice.keepAll) {
      require(session_.selectContours(choice.lengthWeight, choice.curvatureWeight, choice.contrastWeight,
                                      choice.number),
              "The contour selection");
      require(session_.layModel(), "Laying the model planes");
    }
    t.model += model.milliseconds();
    if (pictures) pictures->model = grayOfView(session_.image2.picture);

    const ScratchFile coded(".flm");
    codedFileNames_.emplace_back(coded.path(), "the coded file of --keep " + choice.label());
    Stopwatch writing;
    const Status written = session_.compressToFile(coded.path());
    if (!written) throw EvaluationError(Failure::InputOutput, written.message());
    t.writing = writing.milliseconds();

    CodecPoint point;
    point.keep = choice.label();
    point.bytes = std::filesystem::file_size(coded.path());
    point.bitsPerPixel = bitsPerPixel(point.bytes, reference_);

    ContourCoder decodedAnalysis;
    Reconstructor decodedReconstruction;
    CommandSession decoder(decodedAnalysis, decodedReconstruction);
    Stopwatch reading;
    const Status read = decoder.openCodedImage(coded.path());
    if (!read) throw EvaluationError(Failure::Codec, "the coded file does not read back: " + read.message());
    require(decoder.hasModelPlanes(), "Open Coded Image");
    t.reading = reading.milliseconds();
    point.contours = static_cast<int64_t>(decodedAnalysis.contours.size());
    for (const Contour& contour : decodedAnalysis.contours) point.points += contour.pointCount;

    // A fresh generator: each decode is the first reconstruction of its run.
    if (solvers.exactSolver) {
      DitherGenerator generator;
      Stopwatch reconstruction;
      require(decoder.reconstruct(generator), "Reconstruct");
      t.reconstruction = reconstruction.milliseconds();
      point.sweeps = decodedReconstruction.sweepCount;
      const Plane<uint8_t>& result = measuredResult(decodedReconstruction);
      point.psnr = psnr(reference_, result);
      point.ssim = ssim(reference_, result);
      if (pictures) pictures->reconstruction = copyPlane(result);
    } else {
      point.psnr = std::numeric_limits<double>::quiet_NaN();
      point.ssim = std::numeric_limits<double>::quiet_NaN();
    }
    if (solvers.convergedSolver) {
      DitherGenerator generator;
      ConvergedSolveReport report;
      Stopwatch reconstruction;
      require(decoder.reconstructConverged(generator, report), "Reconstruct");
      t.convergedReconstruction = reconstruction.milliseconds();
      point.convergedSteps = report.iterations;
      const Plane<uint8_t>& result = measuredResult(decodedReconstruction);
      point.convergedPsnr = psnr(reference_, result);
      point.convergedSsim = ssim(reference_, result);
      if (pictures && !solvers.exactSolver) pictures->reconstruction = copyPlane(result);
    }
    return point;
  }

  const Plane<uint8_t>& measuredResult(const Reconstructor& decoded) const {
    const Plane<uint8_t>& result = decoded.grayPlane;
    if (result.rows() != reference_.rows() || result.cols() != reference_.cols()) {
      throw EvaluationError(Failure::Codec, "the reconstruction differs in size from the image");
    }
    return result;
  }

  // Messages name the temporary coded files; the reader knows them by their keep value.
  std::string withFileNames(std::string message) const {
    for (const auto& [path, name] : codedFileNames_) {
      for (std::size_t at = message.find(path); at != std::string::npos; at = message.find(path, at + name.size())) {
        message.replace(at, path.size(), name);
      }
    }
    return message;
  }

 private:
  std::unique_ptr<ContourCoder> analysis_;
  std::unique_ptr<Reconstructor> reconstruction_;
  CommandSession session_;
  std::unique_ptr<BitmapInput> input_;
  Plane<uint8_t> reference_;
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
  const double limit = std::max(1.5 * static_cast<double>(largestCodecFile),
                                static_cast<double>(sizes[kAlwaysShown - 1]));
  std::vector<JpegPoint> curve;
  for (int quality = 1; quality <= kJpegQualities; ++quality) {
    if (static_cast<double>(sizes[quality - 1]) > limit) break;
    curve.push_back(measureJpeg(reference, quality, false, nullptr));
  }
  return curve;
}

void measure(ImageCoder& coder, const std::string& path, const EvaluationSettings& settings,
             ImageEvaluation& result) {
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

std::string ContourChoice::label() const { return keepAll ? "all" : std::to_string(number); }

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
  ImageCoder coder;
  std::vector<std::string> messages;
  try {
    const CollectedMessages collected(messages);
    measure(coder, path, settings, result);
  } catch (const EvaluationError& error) {
    result.failure = error.failure();
    result.error = error.what();
  } catch (const std::bad_alloc&) {
    result.failure = Failure::Codec;
    result.error = "out of memory";
  } catch (const std::exception& error) {
    result.failure = Failure::Codec;
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
