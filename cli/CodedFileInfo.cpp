#include "cli/CodedFileInfo.h"

#include "base/TextFormat.h"
#include "cli/CodecRun.h"

namespace filamorph::cli {

CodedFileInfo readCodedFileInfo(const InputFile& file, int64_t maxPixels) {
  CodecRun run;
  return run.readCodedFileInfo(file, maxPixels);
}

std::string sizeText(const CodedFileInfo& info) {
  return format("%ju bytes (%.3f bpp)", static_cast<std::uintmax_t>(info.bytes), info.bitsPerPixel());
}

}  // namespace filamorph::cli
