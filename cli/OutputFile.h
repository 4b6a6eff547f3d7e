#ifndef FILAMORPH_CLI_OUTPUTFILE_H
#define FILAMORPH_CLI_OUTPUTFILE_H
// The OUT argument of a subcommand: a file written whole or not at all, or "-" for standard output.

#include <cstdint>
#include <functional>
#include <string>

#include "base/Status.h"
#include "image/Plane.h"

namespace filamorph::cli {

// Checks OUT before any work is done: an image must go to a .pgm or .bmp
// file or to "-"; the folder of a file must exist. Throws CommandError.
void checkImageOutput(const std::string& out);
void checkFileOutput(const std::string& out);
// True when an image written to OUT becomes a bitmap (an image view), false for PGM (raw bytes).
bool isBitmapOutput(const std::string& out);

// Each writer throws CommandError (input/output) on failure; a failure never
// leaves a partial file at OUT.
void writeImageOutput(const std::string& out, const Plane<uint8_t>& gray);
void writeTextOutput(const std::string& out, const std::string& text);
// Runs writeFile on a temporary file, then moves it to OUT (or copies it to
// standard output). Failure messages name OUT, never the temporary file.
void writeFileOutput(const std::string& out, const std::function<Status(const std::string& path)>& writeFile);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_OUTPUTFILE_H
