#include "cli/CodedFileInfo.h"

#include <cstdio>
#include <filesystem>

#include "base/TextFormat.h"
#include "cli/CodecRun.h"
#include "cli/ExitCodes.h"

namespace filamorph::cli {

double CodedFileInfo::bitsPerPixel() const {
  const double pixels = static_cast<double>(width) * static_cast<double>(height);
  return pixels > 0 ? static_cast<double>(bytes) * 8.0 / pixels : 0.0;
}

std::string CodedFileInfo::sizeText() const {
  return format("%ju bytes (%.3f bpp)", bytes, bitsPerPixel());
}

CodedFileInfo readCodedFileInfo(const InputFile& file, int64_t maxPixels) {
  CodedFileInfo summary;
  std::error_code error;
  summary.bytes = std::filesystem::file_size(file.path(), error);
  if (error) throw CommandError(ExitCode::InputOutput, "cannot read " + file.displayName() + ": " + error.message());
  CodecRun run;
  run.readCodedImage(file, maxPixels);
  summary.width = run.analysis().width;
  summary.height = run.analysis().height;
  for (const Contour& contour : run.analysis().contours) {
    ++summary.contours;
    summary.points += contour.pointCount;
  }
  return summary;
}

}  // namespace filamorph::cli
