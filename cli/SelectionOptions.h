#ifndef FILAMORPH_CLI_SELECTIONOPTIONS_H
#define FILAMORPH_CLI_SELECTIONOPTIONS_H
// The --keep and --weights options: which contours the perceptual selection keeps.

#include <string>

#include "commands/CodecPipeline.h"

namespace CLI {
class App;
}

namespace filamorph::cli {

// The option texts as given; parse() turns them into a selection.
struct SelectionOptions {
  std::string keep;
  std::string weights;

  // Adds --keep (default defaultKeep: a count, or "all" for no selection) and --weights.
  void addTo(CLI::App& command, const std::string& defaultKeep);
  // keepAll for --keep all. Throws CommandError (usage) on a malformed
  // value, and for --weights without a selection to weigh.
  ContourChoice parse() const;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_SELECTIONOPTIONS_H
