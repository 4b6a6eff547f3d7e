#ifndef FILAMORPH_CLI_EVALCOMMANDS_H
#define FILAMORPH_CLI_EVALCOMMANDS_H
// The research workflow: eval measures images through the codec beside JPEG.

#include "cli/CommandLine.h"

namespace filamorph::cli {

void addEvalCommand(CommandLine& line);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_EVALCOMMANDS_H
