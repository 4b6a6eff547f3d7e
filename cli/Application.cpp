#include "cli/Application.h"

#include "cli/CodecCommands.h"
#include "cli/CommandLine.h"
#include "cli/DumpCommands.h"

namespace filamorph::cli {

int runFilamorph(int argc, const char* const* argv) {
  CommandLine line;
  addCodecCommands(line);
  addDumpCommands(line);
  return line.run(argc, argv);
}

}  // namespace filamorph::cli
