#include "cli/Application.h"

#include "cli/CodecCommands.h"
#include "cli/CommandLine.h"
#include "cli/CompareCommand.h"
#include "cli/DumpCommands.h"
#include "cli/EvalCommands.h"

namespace filamorph::cli {

int runFilamorph(int argc, const char* const* argv) {
  CommandLine line;
  addCodecCommands(line);
  addDumpCommands(line);
  addEvalCommand(line);
  addCompareCommand(line);
  return line.run(argc, argv);
}

}  // namespace filamorph::cli
