#include "evaluation/ResultTable.h"
#include "base/TextFormat.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

namespace filamorph::evaluation {
namespace {

// A measure with a fixed number of decimals, or "inf" / "nan".
std::string decimal(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return format("%.*f", decimals, value);
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::size_t nameWidth(const std::vector<ImageEvaluation>& results) {
  std::size_t width = 5;  // "image"
  for (const ImageEvaluation& result : results) width = std::max(width, result.name.size());
  return width;
}

}  // namespace

std::string formatTable(const std::vector<ImageEvaluation>& results) {
  const int name = static_cast<int>(nameWidth(results));
  std::string table = format("%-*s %9s %4s %8s %6s %8s %8s %8s %7s %6s | %4s %8s %6s %8s %7s | %8s %7s %5s\n", name,
                             "image", "size", "keep", "bytes", "bpp", "contours", "points", "PSNR dB", "SSIM", "sweeps",
                             "JPEG", "bytes", "bpp", "PSNR dB", "SSIM", "conv. dB", "SSIM", "steps");
  for (const ImageEvaluation& r : results) {
    if (!r.ok()) {
      table += format("%-*s error: %s\n", name, r.name.c_str(), r.error.c_str());
      continue;
    }
    const std::string size = format("%" PRId32 "x%" PRId32, r.width, r.height);
    table +=
        format("%-*s %9s %4s %8" PRIu64 " %6.3f %8" PRId64 " %8" PRId64 " %8s %7s %6" PRId32 " | q%3d %8" PRIu64
               " %6.3f %8s %7s | %8s %7s %5" PRId32 "\n",
               name, r.name.c_str(), size.c_str(), r.codec.keep.c_str(), r.codec.bytes, r.codec.bitsPerPixel,
               r.codec.contours, r.codec.points, decimal(r.codec.psnr, 2).c_str(), decimal(r.codec.ssim, 4).c_str(),
               r.codec.sweeps, r.jpeg.quality, r.jpeg.bytes, r.jpeg.bitsPerPixel, decimal(r.jpeg.psnr, 2).c_str(),
               decimal(r.jpeg.ssim, 4).c_str(), decimal(r.codec.convergedPsnr, 2).c_str(),
               decimal(r.codec.convergedSsim, 4).c_str(), r.codec.convergedSteps);
  }

  table += format("\n%-*s %8s %9s %8s %8s %8s %8s %14s %9s   (milliseconds)\n", name, "image", "import", "detection",
                  "tracing", "model", "writing", "reading", "reconstruction", "converged");
  for (const ImageEvaluation& r : results) {
    if (!r.ok()) continue;
    const StageTimes& t = r.times;
    table += format("%-*s %8.1f %9.1f %8.1f %8.1f %8.1f %8.1f %14.1f %9.1f\n", name, r.name.c_str(), t.import,
                    t.detection, t.tracing, t.model, t.writing, t.reading, t.reconstruction, t.convergedReconstruction);
  }

  bool heading = false;
  for (const ImageEvaluation& r : results) {
    for (const std::string& message : r.messages) {
      if (!heading) table += "\nCodec messages:\n";
      heading = true;
      table += r.name + ": " + message + "\n";
    }
  }
  return table;
}

std::string csvHeader() {
  return "image,width,height,keep,bytes,bpp,contours,points,psnr_db,ssim,sweeps,"
         "jpeg_quality,jpeg_bytes,jpeg_bpp,jpeg_psnr_db,jpeg_ssim,"
         "import_ms,detection_ms,tracing_ms,model_ms,writing_ms,reading_ms,reconstruction_ms,"
         "converged_psnr_db,converged_ssim,converged_steps,converged_reconstruction_ms,build\n";
}

std::string formatCsv(const std::vector<ImageEvaluation>& results) {
  std::string csv = csvHeader();
  for (const ImageEvaluation& r : results) {
    if (!r.ok()) continue;
    const StageTimes& t = r.times;
    csv += csvField(r.name);
    csv += format(",%" PRId32 ",%" PRId32 ",%s,%" PRIu64 ",%.6f,%" PRId64 ",%" PRId64 ",%s,%s,%" PRId32, r.width,
                  r.height, r.codec.keep.c_str(), r.codec.bytes, r.codec.bitsPerPixel, r.codec.contours,
                  r.codec.points, decimal(r.codec.psnr, 4).c_str(), decimal(r.codec.ssim, 6).c_str(), r.codec.sweeps);
    csv += format(",%d,%" PRIu64 ",%.6f,%s,%s", r.jpeg.quality, r.jpeg.bytes, r.jpeg.bitsPerPixel,
                  decimal(r.jpeg.psnr, 4).c_str(), decimal(r.jpeg.ssim, 6).c_str());
    csv += format(",%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f", t.import, t.detection, t.tracing, t.model, t.writing,
                  t.reading, t.reconstruction);
    csv += format(",%s,%s,%" PRId32 ",%.3f,", decimal(r.codec.convergedPsnr, 4).c_str(),
                  decimal(r.codec.convergedSsim, 6).c_str(), r.codec.convergedSteps, t.convergedReconstruction);
    csv += csvField(r.build) + "\n";
  }
  return csv;
}

}  // namespace filamorph::evaluation
