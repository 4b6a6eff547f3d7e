#ifndef FILAMORPH_CLI_CODEDFILEINFO_H
#define FILAMORPH_CLI_CODEDFILEINFO_H
// What a coded file holds, as the command line reads and prints it.

#include <cstdint>
#include <string>

#include "cli/InputFile.h"
#include "commands/CodecPipeline.h"
#include "image/BmpFile.h"

namespace filamorph::cli {

// Reads the file as Open Coded Image does, but lays no plane and draws no
// view. Throws CommandError when the file is unreadable, malformed or
// declares more than maxPixels pixels.
CodedFileInfo readCodedFileInfo(const InputFile& file, int64_t maxPixels = kMaxBitmapPixels);

// "12345 bytes (0.123 bpp)"
std::string sizeText(const CodedFileInfo& info);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODEDFILEINFO_H
