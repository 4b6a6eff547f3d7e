#ifndef FILAMORPH_CLI_APPLICATION_H
#define FILAMORPH_CLI_APPLICATION_H
// The command-line tool as a function, so that tests run it in-process.

namespace filamorph::cli {

// Builds every subcommand family, parses argv and runs the chosen command;
// returns the exit status (see ExitCodes.h).
int runFilamorph(int argc, const char* const* argv);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_APPLICATION_H
