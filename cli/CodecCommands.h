#ifndef FILAMORPH_CLI_CODECCOMMANDS_H
#define FILAMORPH_CLI_CODECCOMMANDS_H
// The coding round trip: encode, decode, reconstruct and info.

#include <string>

#include "cli/CommandLine.h"
#include "reconstruct/ConvergedSolver.h"

namespace filamorph::cli {

void addCodecCommands(CommandLine& line);

// The statistic line of a converged fill-in. A solve whose held set did not
// settle says so: its result is not the constrained minimiser.
std::string convergedSolveStatistic(const ConvergedSolveReport& report);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CODECCOMMANDS_H
