#ifndef FILAMORPH_CLI_CODECCOMMANDS_H
#define FILAMORPH_CLI_CODECCOMMANDS_H
// The coding round trip: encode, decode, reconstruct and info.

#include "cli/CommandLine.h"

namespace filamorph::cli {

void addCodecCommands(CommandLine& line);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODECCOMMANDS_H
