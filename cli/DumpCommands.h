#ifndef FILAMORPH_CLI_DUMPCOMMANDS_H
#define FILAMORPH_CLI_DUMPCOMMANDS_H
// The "dump" family: intermediate results of the codec as images and CSV tables.

#include "cli/CommandLine.h"

namespace filamorph::cli {

// dump gray | edges | smoothed (from a bitmap) and dump contours | points |
// depth | sparseness (from a bitmap after Obtain Filamorph, or from a coded file).
void addDumpCommands(CommandLine& line);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_DUMPCOMMANDS_H
