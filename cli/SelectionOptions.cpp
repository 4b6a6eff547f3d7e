#include "cli/SelectionOptions.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/TextFormat.h"
#include "cli/ExitCodes.h"

namespace filamorph::cli {
namespace {

constexpr const char* kNoSelection = "all";

template <typename T>
bool parseWhole(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

float parseWeight(std::string_view text) {
  float weight = 0.0f;
  if (!parseWhole(text, weight) || !std::isfinite(weight) || weight < 0.0f) {
    throw CommandError(ExitCode::Usage,
                       "--weights: \"" + std::string(text) + "\" is not a weight (a number from 0 up)");
  }
  return weight;
}

std::string defaultWeights() {
  return format("%g,%g,%g", static_cast<double>(kDefaultSelectionWeights.length),
                static_cast<double>(kDefaultSelectionWeights.curvature),
                static_cast<double>(kDefaultSelectionWeights.contrast));
}

}  // namespace

void SelectionOptions::addTo(CLI::App& command, const std::string& defaultKeep) {
  keep = defaultKeep;
  command
      .add_option("--keep", keep,
                  "Rank the contours by length, mean curvature and mean contrast and keep the best N "
                  "(contours of equal priority share a rank, so ties may keep more); 'all' keeps every contour")
      ->type_name("N|all")
      ->capture_default_str();
  command
      .add_option("--weights", weights,
                  "Weights of length, mean curvature and mean contrast (default " + defaultWeights() + ")")
      ->type_name("L,C,K");
}

ContourChoice SelectionOptions::parse() const {
  ContourChoice selection;
  if (keep == kNoSelection) {
    if (!weights.empty()) throw CommandError(ExitCode::Usage, "--weights needs a selection: give --keep N as well");
    selection.keepAll = true;
    return selection;
  }
  if (!parseWhole(keep, selection.number) || selection.number < 0) {
    throw CommandError(ExitCode::Usage, "--keep: \"" + keep + "\" is neither a count from 0 up nor 'all'");
  }
  if (weights.empty()) return selection;
  const std::size_t first = weights.find(',');
  const std::size_t second = first == std::string::npos ? first : weights.find(',', first + 1);
  if (second == std::string::npos || weights.find(',', second + 1) != std::string::npos) {
    throw CommandError(ExitCode::Usage, "--weights: \"" + weights + "\" is not three weights L,C,K");
  }
  const std::string_view text(weights);
  selection.lengthWeight = parseWeight(text.substr(0, first));
  selection.curvatureWeight = parseWeight(text.substr(first + 1, second - first - 1));
  selection.contrastWeight = parseWeight(text.substr(second + 1));
  return selection;
}

}  // namespace filamorph::cli
