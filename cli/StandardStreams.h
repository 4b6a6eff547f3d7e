#ifndef FILAMORPH_CLI_STANDARDSTREAMS_H
#define FILAMORPH_CLI_STANDARDSTREAMS_H
// Standard input and output, which the codec reaches through temporary files.

#include <string>

#include "base/TemporaryFile.h"

namespace filamorph::cli {

// Copies all of standard input into file; throws CommandError on a read or write failure.
void copyStandardInputTo(const TemporaryFile& file);
// Copies the whole file to standard output; throws CommandError on failure.
void copyFileToStandardOutput(const std::string& path);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_STANDARDSTREAMS_H
