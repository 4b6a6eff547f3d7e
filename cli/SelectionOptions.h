#ifndef FILAMORPH_CLI_SELECTIONOPTIONS_H
#define FILAMORPH_CLI_SELECTIONOPTIONS_H
// The --keep and --weights options: which contours the perceptual selection keeps.

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace filamorph::cli {

// The arguments of the perceptual selection as the parameters dialog passes them.
struct Selection {
  float lengthWeight = 0.5f;
  float curvatureWeight = 0.5f;
  float contrastWeight = 0.5f;
  int32_t numberToSelect = 0;
};

// The option texts as given; parse() turns them into a selection.
struct SelectionOptions {
  std::string keep;
  std::string weights;

  // Adds --keep (default defaultKeep: a count, or "all" for no selection) and --weights.
  void addTo(CLI::App& command, const std::string& defaultKeep);
  // No selection for --keep all. Throws CommandError (usage) on a malformed
  // value, and for --weights without a selection to weigh.
  std::optional<Selection> parse() const;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_SELECTIONOPTIONS_H
