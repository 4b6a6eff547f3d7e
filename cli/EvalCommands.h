#ifndef FILAMORPH_CLI_EVALCOMMANDS_H
#define FILAMORPH_CLI_EVALCOMMANDS_H
// The research workflow: eval measures images through the codec beside JPEG; report merges the results of many evals.

#include "cli/CommandLine.h"

namespace filamorph::cli {

// Adds eval and report, which reads what eval --out wrote.
void addEvalCommand(CommandLine& line);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_EVALCOMMANDS_H
