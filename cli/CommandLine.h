#ifndef FILAMORPH_CLI_COMMANDLINE_H
#define FILAMORPH_CLI_COMMANDLINE_H
// The command-line parser with its global options, and the action of the chosen subcommand.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <string>

#include "image/BmpFile.h"

namespace filamorph::cli {

// Options that every subcommand honours.
struct GlobalOptions {
  bool quiet = false;
  // Progress lines on stderr even when it is not a terminal, for batch logs.
  bool progress = false;
  // The most pixels a coded file may declare; larger files are refused before anything is allocated.
  int64_t maxPixels = kMaxBitmapPixels;

  // Statistics go to stderr, one line each, unless --quiet.
  void statistic(const std::string& line) const;
};

// Subcommand families add their subcommands to app() and give each an action;
// run() parses the whole line first and only then runs the one chosen
// action, so that no work starts on a line with a usage error.
class CommandLine {
 public:
  CommandLine();

  CLI::App& app() { return app_; }
  const GlobalOptions& options() const { return options_; }

  void setAction(CLI::App& command, std::function<void()> action);

  // Parses, runs the chosen action and returns the exit status; errors are
  // reported on stderr.
  int run(int argc, const char* const* argv);

 private:
  CLI::App app_;
  GlobalOptions options_;
  std::function<void()> chosen_;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_COMMANDLINE_H
